#include "app/program/QorProgram.h"

#include "archive/ui/FormPerehod.h"
#include "archive/ui/ImportData.h"
#include "archive/ui/Save.h"
#include "calc/CalcContext.h"
#include "data/ui/DpSelect.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Program.h"
#include "desk/Brows.h"
#include "desk/Main.h"
#include "desk/MainOpeners.h"
#include "desk/NewEmploy.h"
#include "desk/TabnEdit.h"
#include "reports/RasVedImport.h"

namespace {

// The main window's page "Карточка" is the embedded employee card.
class TTabnCardPage final : public TCardPage {
public:
    explicit TTabnCardPage(QWidget* parent) : card_(new TFormTabnEdit(parent)) {}
    QWidget* Widget() override { return card_; }
    void ShowTabn(qint32 tabNum, bool staffMode) override { card_->ShowEmbedded(tabNum, staffMode); }
    bool LeaveEditMode() override { return card_->LeaveEditMode(); }

private:
    TFormTabnEdit* card_; // owned by its parent widget
};

// The save dialog on one of its pages, for saving (not restore-only).
void ShowSaveDialog(QWidget* TFormSave::*page)
{
    TFormSave& form = FormSave();
    form.SetMode(false);
    form.ShowPage(form.*page);
    form.Execute();
}

} // namespace

void RegisterProgramForms()
{
    RegisterMenuOpener(QStringLiteral("mnHelpContents"), [](TFormMain&) { ShowProgramHelp(); });
    RegisterMenuOpener(QStringLiteral("acTabnCard"), [](TFormMain& main) { ShowTabnCard(main.CurTabn()); });
    RegisterMenuOpener(QStringLiteral("mnBrows"), [](TFormMain&) { ShowBrows(); });
    RegisterMenuOpener(QStringLiteral("mnPerehod"), [](TFormMain& main) { (new TFormPerehod(&main))->show(); });
    RegisterMenuOpener(QStringLiteral("mnImport"), [](TFormMain& main) {
        TFormImportData form(&main);
        form.ShowModal();
    });
    SetPaySheetImporter(ImportOldPaySheet);
    RegisterForm(QStringLiteral("FormMain"), [] { return new TFormMain(); });
    RegisterForm(QStringLiteral("FormTabnEdit"), [] { return new TFormTabnEdit(); });
    RegisterForm(QStringLiteral("FormNewEmploy"), [] { return new TFormNewEmploy(); });
    RegisterForm(QStringLiteral("FormBrows"), [] { return new TFormBrows(); });
    RegisterForm(QStringLiteral("FormSave"), [] { return new TFormSave(); });
    AddProgramUnit(QStringLiteral("save"), ReadSaveSection, WriteSaveSection);
    SetRecoveryMenuHook(RunRecoveryMenu);
    auto openSave = [](QWidget* TFormSave::*page) { return [page](TFormMain&) { ShowSaveDialog(page); }; };
    RegisterMenuOpener(QStringLiteral("mnSave"), openSave(&TFormSave::tabSave));
    RegisterMenuOpener(QStringLiteral("mnReserv"), openSave(&TFormSave::tabReserv));
    RegisterMenuOpener(QStringLiteral("mnCompress"), openSave(&TFormSave::tabCompress));
    // Before the transition the clerk is offered a save of the data base.
    TFormPerehod::SetSaveOffer([] { ShowSaveDialog(&TFormSave::tabSave); });

    SetCardPageFactory([](QWidget* parent) -> TCardPage* { return new TTabnCardPage(parent); });
    SetNewTabnWizard([](qint32) {
        TFormNewEmploy wizard;
        return wizard.ShowModal() == mrOk;
    });
    // Kind 0 leaves the set chooser to the clerk; -1: nothing preselected.
    SetDopPicker([](const QString& title) { return SelectDop(0, title, -1, 0); });
    TFormTabnEdit::DopPicker() = [](int& dopNum, const QString& title) {
        const qint32 chosen = SelectDop(0, title, dopNum, 0);
        if (chosen >= 0)
            dopNum = chosen;
        return chosen >= 0;
    };
}
int QorMain()
{
    AddProgramUnit(QStringLiteral("calc"), &InitCalc, &DoneCalc);
    RegisterProgramForms();
    return RunProgram();
}
