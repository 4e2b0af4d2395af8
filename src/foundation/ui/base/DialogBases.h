#pragma once
// The bases of the program's wizards and small input dialogs.
//
// TFormMultyPage: pages without tabs, driven by "<<  Назад" and
// "Далее  >>". A descendant adds its pages with AddPage and may refuse a
// page change in CanChangePage (BackMove already tells the direction).
//
// TFormNewInput: a mode label on top, the descendant's controls in
// pnClient, "Ok" / "Отмена" below. Enter from any control accepts, Esc
// cancels; Up/Down move the focus (with Ctrl they reach the control as
// plain Up/Down, so a combo still changes its item).

#include "foundation/ui/base/FormBase.h"

class QFrame;
class QLabel;
class QPushButton;
class QStackedWidget;
class QWidget;

class TFormMultyPage : public TForm {
    Q_OBJECT
public:
    explicit TFormMultyPage(QWidget* parent = nullptr, const QString& name = QString());

    // Appends a page and answers its index.
    int AddPage(QWidget* page);
    int PageCount() const;
    int PageIndex() const;

    void GoFirstPage();
    void SetShowPageButtons(bool on);
    bool ShowPageButtons() const { return showPageButtons_; }
    void UpdatePageButtons();

    // The button actions, as the buttons call them.
    void PrevPage();
    void NextPage();
    // Moves to a page through the descendant's check; true when it moved.
    bool SelectPage(int index);

    QPushButton* btPrevPage;
    QPushButton* btNextPage;
    QWidget* pnHeader;
    QLabel* lbHeader;
    QWidget* pn;
    QStackedWidget* pc;
    QWidget* tabFirst;

    QString NextCaption;
    QString FinishCaption;
    bool NextOnLast = true;
    bool BackOnFirst = true;
    bool FinishOnLast = false;
    bool Changed = false;
    bool BackMove = false;
    bool LastPage = false;

protected:
    // Asked before the page changes; false keeps the page.
    virtual bool CanChangePage(int from, int to, bool backMove);
    // After the page changed and the buttons were updated.
    virtual void PageChanged() {}
    void showEvent(QShowEvent* event) override;

private:
    bool showPageButtons_ = true;
};

class TFormNewInput : public TForm {
    Q_OBJECT
public:
    explicit TFormNewInput(QWidget* parent = nullptr, const QString& name = QString());

    // Enter, Esc and the buttons end here.
    void Accept();
    void Cancel();

    QWidget* stPanel;
    QFrame* Bevel1;
    QLabel* lbMode;
    QWidget* pnClient; // the descendant's controls
    QWidget* Panel1;
    QPushButton* btOk;
    QPushButton* btCancel;

    bool Cancelled = false;
    bool Accepted = false;

protected:
    // Asked before accepting; false keeps the dialog open (the descendant
    // has told the user why).
    virtual bool CanAccept() { return true; }
    bool FormKeyDown(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool passingKey_ = false; // a Ctrl+Up/Down handed on as plain Up/Down
};
