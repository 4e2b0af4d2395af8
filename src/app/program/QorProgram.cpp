#include "app/program/QorProgram.h"

#include "archive/ui/FormPerehod.h"
#include "archive/ui/ImportData.h"
#include "archive/ui/Save.h"
#include "calc/CalcContext.h"
#include "calc/ui/CalcPrem.h"
#include "calc/ui/DoplEdit.h"
#include "calc/ui/EditFml.h"
#include "calc/ui/SprDop.h"
#include "data/DBSetup.h"
#include "data/ui/DpSelect.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Program.h"
#include "desk/Brows.h"
#include "desk/Main.h"
#include "desk/MainOpeners.h"
#include "desk/NewEmploy.h"
#include "desk/TabnEdit.h"
#include "foundation/Messages.h"
#include "foundation/QtTranslations.h"
#include "platform/Exceptions.h"
#include "reports/FastRep.h"
#include "reports/RasVedImport.h"
#include "reports/ui/DesignForm.h"
#include "reports/ui/FormReports.h"
#include "reports/ui/PreviewForm.h"
#include "reports/ui/PrinterSetup.h"

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
    RegisterMenuOpener(QStringLiteral("mnPrinter"), [](TFormMain&) { ShowPrinterSetup(); });
    RegisterMenuOpener(QStringLiteral("mnDopl"), [](TFormMain&) { ShowSprDop(); });
    RegisterMenuOpener(QStringLiteral("acDoplEdit"), [](TFormMain&) { ShowDoplEdit(0); });
    RegisterMenuOpener(QStringLiteral("mnPerehod"), [](TFormMain& main) {
        TFormPerehod form(&main);
        form.setAttribute(Qt::WA_DeleteOnClose, false); // it lives on this stack
        form.ShowModal();
    });
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
    // Before an upgrade the reserve copy is offered; without one the
    // clerk decides whether the conversion still runs.
    SetReserveCopyHook([] {
        TFormSave& form = FormSave();
        form.SettingsToControls();
        if (!form.DoReserveSave()
            && !AskYesNo(QStringLiteral("Резервная копия не сделана"),
                QStringLiteral("Продолжить преобразование базы данных без резервной копии?"), false))
            Abort();
    });
    // A restore may bring another working month: the caption names it.
    auto openSave = [](QWidget* TFormSave::*page) {
        return [page](TFormMain& main) {
            ShowSaveDialog(page);
            main.SetMainTitle(QString());
        };
    };
    RegisterMenuOpener(QStringLiteral("mnSave"), openSave(&TFormSave::tabSave));
    RegisterMenuOpener(QStringLiteral("mnReserv"), openSave(&TFormSave::tabReserv));
    RegisterMenuOpener(QStringLiteral("mnCompress"), openSave(&TFormSave::tabCompress));
    // Before the transition the clerk is offered a save of the data base.
    TFormPerehod::SetSaveOffer(OfferSaveBeforePeriodClose);
    // The catalogue of output documents, one menu item per document kind.
    const QStringList docKinds = {QStringLiteral("mnVedRL"), QStringLiteral("mnVedRV"), QStringLiteral("mnVedPV"),
        QStringLiteral("mnVedSpr"), QStringLiteral("mnVedSvod")};
    for (int k = 0; k < docKinds.size(); ++k)
        RegisterMenuOpener(docKinds[k], [k](TFormMain& main) { ShowDocCatalog(k + 1, main.CurPodr()); });

    ReportWindowFactories().Preview = OpenPreviewWindow;

    RegisterMenuOpener(QStringLiteral("mnPremii"), [](TFormMain&) { ShowCalcPrem(); });
    SetFormulaEditorOpener(OpenFormulaAtError);

    // The engine opens its template designer through this factory.
    InstallDesignWindow();
    SetCardPageFactory([](QWidget* parent) -> TCardPage* { return new TTabnCardPage(parent); });
    SetNewTabnWizard([](qint32) -> qint32 {
        TFormNewEmploy wizard;
        return wizard.ShowModal() == mrOk ? wizard.SavedTabNum() : 0;
    });
    // Kind 0 leaves the set chooser to the clerk; -1: nothing preselected.
    SetDopPicker([](const QString& title) { return SelectDop(0, title, -1, 0); });
    TFormTabnEdit::DopPicker() = [](int& dopNum, const QString& title) {
        const qint32 chosen = SelectDop(0, title, dopNum, 0);
        if (chosen >= 0)
            dopNum = chosen;
        return chosen >= 0;
    };
    // The catalogue forms and designs through the forming holder.
    FormingCalls().RunDocument = [](T_Vedom& d, T_PVVars* p) { FormFastRep().RunDocument(&d, p); };
    FormingCalls().DesignTemplate = [](const QString& file) { FormFastRep().DesignTemplate(file); };
    FormingCalls().Algorithms = [] { return FormFastRep().Algorithms(); };
}
int QorMain()
{
    // Qt's own dialogs and buttons in Russian; without the catalogue the
    // program runs on in English there. A test's run leaves none behind.
    InstallQtTranslations();
    struct RemoveAtEnd {
        ~RemoveAtEnd() { RemoveQtTranslations(); }
    } removeAtEnd;
    AddProgramUnit(QStringLiteral("calc"), &InitCalc, &DoneCalc);
    RegisterProgramForms();
    return RunProgram();
}
