#pragma once
// The form base of every window, the modal runner through which every modal
// window is opened, and guarded(...), which keeps exceptions out of Qt's
// event loop.

#include <QCoreApplication>
#include <QDialog>

#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

class QKeyEvent;

// Modal results, with the values the old forms used.
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

class TForm : public QDialog {
    Q_OBJECT
public:
    // Name is the component name: it becomes the objectName (fonts and
    // tests find windows by it).
    explicit TForm(QWidget* parent = nullptr, const QString& name = QString());
    ~TForm() override;

    int ModalResult() const { return result(); }
    // A non-zero result closes the form, as it ended a modal form before.
    void SetModalResult(int modalResult);
    // Shows the form modally through RunModal and answers its modal result.
    int ShowModal();

    // Key preview: FormKeyDown sees the keys of the focused control first.
    // A form embedded in another window sees the keys of its own controls;
    // inside a previewing form, that form's FormKeyDown goes first. Esc is
    // left to a control that accepts it as a shortcut override (a grid cell
    // being typed puts itself back).
    void SetKeyPreview(bool on);
    bool KeyPreview() const { return keyPreview_; }
    // The window manager's close (Alt+F4, the frame's button) is refused
    // and F4 is swallowed; the frame shows no close button.
    void SetRefuseSystemClose(bool on);
    bool RefuseSystemClose() const { return refuseSystemClose_; }

    // Every button and page tab of the window gets a mnemonic of its own
    // when the form is shown (AssignButtonMnemonics).
    void SetButtonMnemonics(bool on) { buttonMnemonics_ = on; }
    // Again after a caption changed (when the form gives mnemonics).
    void RefreshButtonMnemonics();

    // A window that centres itself keeps no stored placement.
    void CenterOnScreen();
    bool CentresItself() const { return centresItself_; }
    // Fixes the width and makes the height what the layout needs at it
    // (word-wrapped labels included).
    void FitHeightToWidth(int width);

protected:
    // Keys of the form while key preview is on; true consumes the key.
    virtual bool FormKeyDown(QKeyEvent* event);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Esc and the window manager's close end here: a window is cancelled,
    // an embedded form stays as it is. Clean-up on closing belongs in done(),
    // which every way of closing passes.
    void reject() override;

private:
    void UpdateFilter();
    bool OuterFormPreviews() const;
    bool PreviewKey(QWidget* receiver, QKeyEvent* key);
    bool keyPreview_ = false;
    bool refuseSystemClose_ = false;
    bool filtering_ = false;
    bool centresItself_ = false;
    bool buttonMnemonics_ = false;
};

// ---------------------------------------------------------------- modal runner

// Receives a modal window that is already shown and drives it instead of its
// own event loop; what the dialog's result is when the handler returns is
// the answer of RunModal (a dialog still open is hidden).
using TModalHandler = std::function<void(QDialog& dialog)>;

// Opens a modal window and answers its result. Every modal window of the
// program (forms, pickers, input boxes, file and print dialogs) goes through
// here, so that tests can take the place of the user.
int RunModal(QDialog& dialog);
void SetModalHandler(TModalHandler handler);
bool HasModalHandler();

class ScopedModalHandler {
public:
    explicit ScopedModalHandler(TModalHandler handler);
    ~ScopedModalHandler();
    ScopedModalHandler(const ScopedModalHandler&) = delete;
    ScopedModalHandler& operator=(const ScopedModalHandler&) = delete;

private:
    TModalHandler previous_;
};

// ---------------------------------------------------------------- guarded

// The application's handling of an exception that reached a slot, an event
// handler or the main loop: EAbort is dropped, ProgramExit ends the event
// loops (main then sees PendingProgramExit), any other exception is shown
// through the message service. Never throws.
void ReportException(std::exception_ptr error) noexcept;

// Runs Body; no exception leaves it. An exception closes the progress
// window that the outermost guarded call left open, then is reported.
// Answers false when Body ended by an exception.
bool RunGuarded(const std::function<void()>& body) noexcept;

// Wraps a slot, a timer callback or an event handler body in RunGuarded.
// The wrapper takes the signal's arguments and passes them on when the
// callable accepts them.
template <typename F> auto guarded(F f)
{
    return [f = std::move(f)](auto&&... args) mutable {
        RunGuarded([&] {
            if constexpr (std::is_invocable_v<F&, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        });
    };
}

// The exit code asked for by a ProgramExit that a guarded call caught.
std::optional<int> PendingProgramExit();
void ClearPendingProgramExit();

// A window kept in slot, made on its first use and reused; freeAll, which
// must free the slot, runs once when the application ends.
template <class Form> Form& MakeOnFirstUse(Form*& slot, void (*freeAll)())
{
    if (!slot) {
        static const bool freedAtExit = (qAddPostRoutine(freeAll), true);
        (void)freedAtExit;
        slot = new Form;
    }
    return *slot;
}
