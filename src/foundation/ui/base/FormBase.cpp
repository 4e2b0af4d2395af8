#include "foundation/ui/base/FormBase.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "foundation/ui/base/FormFuncs.h"
#include "platform/Exceptions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QScreen>

#include <cstdio>

namespace {
TModalHandler g_modalHandler;
std::optional<int> g_pendingExit;

void RequestProgramExit(int code)
{
    g_pendingExit = code;
    SetApplicationTerminating(true);
    QCoreApplication::exit(code);
}
} // namespace

// ---------------------------------------------------------------- TForm

TForm::TForm(QWidget* parent, const QString& name) : QDialog(parent) { setObjectName(name); }

TForm::~TForm()
{
    if (filtering_)
        qApp->removeEventFilter(this);
}

void TForm::SetModalResult(int modalResult)
{
    if (modalResult != mrNone)
        done(modalResult);
    else
        setResult(mrNone);
}

int TForm::ShowModal() { return RunModal(*this); }

void TForm::SetKeyPreview(bool on)
{
    keyPreview_ = on;
    UpdateFilter();
}

void TForm::SetRefuseSystemClose(bool on)
{
    refuseSystemClose_ = on;
    const bool visible = isVisible();
    Qt::WindowFlags flags = windowFlags();
    if (on)
        flags = (flags | Qt::CustomizeWindowHint | Qt::WindowTitleHint) & ~Qt::WindowCloseButtonHint;
    else
        flags = (flags & ~Qt::CustomizeWindowHint) | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    if (visible)
        show();
    UpdateFilter();
}

void TForm::CenterOnScreen()
{
    centresItself_ = true;
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = frameGeometry().size();
    move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

void TForm::FitHeightToWidth(int width)
{
    setFixedWidth(width);
    if (!layout())
        return;
    // A panel's layout tells the window's layout of a new height only
    // through a posted event; the height is wanted now.
    for (QWidget* w : findChildren<QWidget*>())
        if (w->layout())
            w->updateGeometry();
    layout()->invalidate();
    setFixedHeight(
        layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width) : layout()->totalSizeHint().height());
    layout()->activate();
}

bool TForm::FormKeyDown(QKeyEvent*) { return false; }

void TForm::RefreshButtonMnemonics()
{
    if (buttonMnemonics_)
        AssignButtonMnemonics(window());
}

void TForm::UpdateFilter()
{
    // The keys of every control pass through the application first; the
    // filter is there only while the form is shown.
    const bool want = isVisible() && (keyPreview_ || refuseSystemClose_);
    if (want == filtering_)
        return;
    if (want)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
    filtering_ = want;
}

bool TForm::OuterFormPreviews() const
{
    // An embedded form leaves its keys to the form around it, which hands
    // them on inwards.
    if (isWindow())
        return false;
    for (const QWidget* p = parentWidget(); p; p = p->parentWidget()) {
        if (const auto* form = qobject_cast<const TForm*>(p); form && form->keyPreview_ && form->filtering_)
            return true;
        if (p->isWindow())
            break;
    }
    return false;
}

bool TForm::PreviewKey(QWidget* receiver, QKeyEvent* key)
{
    // The outer form first, then each form embedded in it down to the key's
    // control: a book takes its own keys and leaves the others to its card.
    QList<TForm*> chain;
    for (QWidget* p = receiver; p; p = p->parentWidget()) {
        if (auto* form = qobject_cast<TForm*>(p); form && form->keyPreview_)
            chain.prepend(form);
        if (p == this)
            break;
    }
    for (TForm* form : chain)
        if (form->FormKeyDown(key))
            return true;
    return false;
}

namespace {

// A control with a use of its own for Esc just now (a cell being typed)
// claims it the way Qt asks about shortcuts; the form's preview then leaves
// the key to it.
bool ControlClaimsEsc(QWidget* control, const QKeyEvent* key)
{
    if (key->key() != Qt::Key_Escape)
        return false;
    QKeyEvent probe(QEvent::ShortcutOverride, key->key(), key->modifiers(), key->text());
    probe.ignore();
    QCoreApplication::sendEvent(control, &probe);
    return probe.isAccepted();
}

} // namespace

bool TForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        // A key travels from the focused control up to the window; the
        // preview sees it once, at its first receiver, when that lies in
        // this form (a form embedded in another window included).
        QWidget* top = window();
        QWidget* focus = top->focusWidget();
        if ((focus ? widget == focus : widget == top) && (widget == this || isAncestorOf(widget))) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (refuseSystemClose_ && isWindow() && key->key() == Qt::Key_F4)
                return true;
            if (keyPreview_ && !OuterFormPreviews() && !ControlClaimsEsc(widget, key)) {
                bool consumed = false;
                RunGuarded([&] { consumed = PreviewKey(widget, key); });
                if (consumed)
                    return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm::closeEvent(QCloseEvent* event)
{
    if (refuseSystemClose_ && event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    RefreshButtonMnemonics();
    UpdateFilter();
}

void TForm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    UpdateFilter();
}

void TForm::reject()
{
    // Esc inside a form embedded in another window must not hide it.
    if (isWindow())
        SetModalResult(mrCancel);
}

// ---------------------------------------------------------------- modal runner

int RunModal(QDialog& dialog)
{
    if (!g_modalHandler)
        return dialog.exec();
    const TModalHandler handler = g_modalHandler; // a step may install another handler
    const bool wasModal = dialog.testAttribute(Qt::WA_ShowModal);
    dialog.setAttribute(Qt::WA_ShowModal, true);
    dialog.setResult(0);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    QCoreApplication::processEvents();
    handler(dialog);
    if (dialog.isVisible())
        dialog.hide();
    dialog.setAttribute(Qt::WA_ShowModal, wasModal);
    return dialog.result();
}

void SetModalHandler(TModalHandler handler) { g_modalHandler = std::move(handler); }

bool HasModalHandler() { return static_cast<bool>(g_modalHandler); }

ScopedModalHandler::ScopedModalHandler(TModalHandler handler) : previous_(std::move(g_modalHandler))
{
    g_modalHandler = std::move(handler);
}

ScopedModalHandler::~ScopedModalHandler() { g_modalHandler = std::move(previous_); }

// ---------------------------------------------------------------- guarded

void ReportException(std::exception_ptr error) noexcept
{
    try {
        try {
            std::rethrow_exception(error);
        } catch (const EAbort&) {
        } catch (const ProgramExit& e) {
            RequestProgramExit(e.Code());
        } catch (const Exception& e) {
            ShowError(e.Message());
        } catch (const std::exception& e) {
            ShowError(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            ShowError(QStringLiteral("Неизвестная ошибка"));
        }
    } catch (const ProgramExit& e) { // the clerk ended the program from the error box
        RequestProgramExit(e.Code());
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error while reporting an error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "error while reporting an error\n");
    }
}

bool RunGuarded(const std::function<void()>& body) noexcept
{
    // Only a progress session that this call started is closed: a slot that
    // runs while an operation polls the event loop leaves the operation's
    // window to the operation.
    bool progressBefore = false;
    try {
        progressBefore = Progress().Active();
        body();
        return true;
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (!progressBefore)
            CloseProgressLeftOpen();
        ReportException(error);
        return false;
    }
}

std::optional<int> PendingProgramExit() { return g_pendingExit; }

void ClearPendingProgramExit() { g_pendingExit.reset(); }
