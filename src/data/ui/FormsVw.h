#pragma once
// The list of open windows ("Список активных окон") and the two
// window-cycling routines: F6 activates the oldest window, Ctrl+F6 the
// previous one, Alt+0 opens the list (the keys are the main window's).

#include "foundation/ui/base/FormBase.h"

#include <QPointer>

class QListWidget;
class QPushButton;

class TFormFormsVw : public TForm {
    Q_OBJECT
public:
    explicit TFormFormsVw(QWidget* parent = nullptr);

    // Every visible top-level form but this one, in the screen's order: its
    // caption, or its name when the caption is blank.
    void Fill();
    // The form of the selected line, or nullptr.
    QWidget* SelectedForm() const;
    QWidget* FirstForm() const { return first_.data(); }

    QListWidget* List;
    QPushButton* btOk;
    QPushButton* btCancel;
    QPushButton* btRefresh;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void changeEvent(QEvent* event) override;

private:
    void FormFreed(QObject* form);

    // The forms of the lines, row by row: a window freed while the list is
    // open loses its line.
    QList<QPointer<QWidget>> forms_;
    QPointer<QWidget> first_;
    bool closing_ = false;
};

// Keeps the order in which windows were last active (from the first call
// on; the main window calls it when it is made).
void TrackWindowActivation();
// The screen's forms: the visible top-level windows, the active one first,
// then the others from the one active last to the one active longest ago.
QList<QWidget*> ScreenForms();
// Alt+0: brings up the existing list (restored and refilled) or makes one.
TFormFormsVw* ShowFormsList();
// F6: from the end of the screen's list, the first visible form is activated.
void ActivateOldestWindow();
// Ctrl+F6: from the second form of the screen's list on, the first that can
// take the focus and is not the window list.
void ActivatePreviousWindow();
