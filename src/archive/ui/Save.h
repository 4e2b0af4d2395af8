#pragma once
// The window of the archive operations: save and restore through the
// archiver, the reserve copy, the compression and their settings (the
// program INI's section "Save"). Made once at start-up; the main window,
// the period transition and the recovery menu open it on a chosen page.

#include "foundation/ui/base/FormBase.h"
#include "platform/DateTime.h"

#include <QString>
#include <Qt>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class Tyq_CustomComboEdit;

// The archive's usual folder: "qor-archive" in the user's home, made on
// its first use.
QString DefaultArchiveFolder();

struct TSaveSettings {
    TDateTime SaveDate = 0;
    TDateTime ReservDate = 0;
    qint32 ReservMin = 4;
    qint32 SaveMin = 7;
    bool ReservMake = true;
    bool SaveMake = true;
    QString SCopyPath = DefaultArchiveFolder();
    QString SArchivPrg = QStringLiteral("arj");
    QString SArchivParam = QStringLiteral("a Qor_arj !ARC.INC -v1440 -y");
    QString SDeArcPrg = QStringLiteral("arj");
    QString SDeArcParam = QStringLiteral("e Qor_arj -va -y");
    QString SArcFileMask = QStringLiteral("Qor_arj.a*");
    bool SArchivate = true;
    bool SShowBars = true;
    bool SCopyBase = true;
    bool SBatch = true;
    bool SDelTmp = true;
    bool SDelArc = false;
    // Not stored: every start begins with the default.
    QString ReservPath = QStringLiteral("RESERV");
};

TSaveSettings& SaveDialogSettings();
// Defaults, then the section; the section is written back at exit.
void ReadSaveSection();
void WriteSaveSection();

class TFormSave : public TForm {
    Q_OBJECT
public:
    explicit TFormSave(QWidget* parent = nullptr);

    void SettingsToControls();
    // The controls back into the settings (on hide).
    void ControlsBackToSettings();
    // Fills SaveRestObject() from the controls.
    void ControlsToSettings();
    void SetMode(bool restoreOnly);
    bool RestoreOnly() const { return restoreOnly_; }
    void ShowPage(QWidget* page);
    int Execute();

    // True when the operation ended well.
    bool DoSave();
    bool DoRestore();
    bool DoReserveSave();
    void ReservSaveClick();
    void ReservRestClick();
    void CompressClick();
    void CopyToDisketteClick();

    // The folder chooser of the path buttons: answers the chosen file or "".
    using TFileChooser = std::function<QString(QWidget* parent, const QString& title, const QString& folder)>;
    static TFileChooser& FileChooser();

    QTabWidget* pc = nullptr;
    QWidget* tabSave = nullptr;
    QWidget* tabReserv = nullptr;
    QWidget* tabCompress = nullptr;
    QWidget* tabConfig = nullptr;
    Tyq_CustomComboEdit* edCopyPath = nullptr;
    Tyq_CustomComboEdit* edReservPath = nullptr;
    QLineEdit* edArc = nullptr;
    QLineEdit* edArcParam = nullptr;
    QLineEdit* edDeArc = nullptr;
    QLineEdit* edDeArcParam = nullptr;
    QLabel* lbMask = nullptr;
    QLineEdit* edMask = nullptr;
    QGroupBox* gbArc = nullptr;
    QGroupBox* gbDeArc = nullptr;
    QCheckBox* cbArc = nullptr;
    QCheckBox* cbBar = nullptr;
    QCheckBox* cbCopy = nullptr;
    QCheckBox* cbBatch = nullptr;
    QCheckBox* cbDelTmp = nullptr;
    QCheckBox* cbDelArc = nullptr;
    QCheckBox* cbReservMake = nullptr;
    QCheckBox* cbSaveMake = nullptr;
    QSpinBox* udReservMin = nullptr;
    QSpinBox* udSaveMin = nullptr;
    QPushButton* btSave = nullptr;
    QPushButton* btRestore = nullptr;
    QPushButton* btCopyToDiskette = nullptr;
    QPushButton* btReservSave = nullptr;
    QPushButton* btReservRest = nullptr;
    QPushButton* btCompress = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void UpdateControlRules();
    void AskReserveFirst();
    void ChoosePath(Tyq_CustomComboEdit* edit);
    bool restoreOnly_ = false;
};

// The program's dialog: the registered "FormSave", or one made on demand.
TFormSave& FormSave();

// The save offered by the period close: the save page, out of restore-only
// mode, captioned for the occasion while it shows.
void OfferSaveBeforePeriodClose();

// Which modifier keys are held now; tests put their own in.
using TModifierProvider = std::function<Qt::KeyboardModifiers()>;
void SetModifierProvider(TModifierProvider provider);

// The start-up's menu after a run that did not end cleanly (the hook of
// ShowRecoveryMenu). Esc answers "Продолжить".
void RunRecoveryMenu();
