#include "archive/ui/Save.h"
#include "foundation/ui/base/FormFuncs.h"

#include "archive/SaveRest.h"
#include "data/AppContext.h"
#include "data/DBSetup.h"
#include "data/DatModl.h"
#include "data/FolderRecovery.h"
#include "data/Globals.h"
#include "data/ui/FormRegistry.h"
#include "foundation/FileFuncs.h"
#include "foundation/FileList.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/UiTypes.h"
#include "foundation/ui/edits/ComboEdit.h"
#include "platform/Clock.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

namespace {

const QString kSection = QStringLiteral("Save");

TModifierProvider& ModifierProvider()
{
    static TModifierProvider provider = [] { return QGuiApplication::queryKeyboardModifiers(); };
    return provider;
}

// A bare name is looked for beside the program first, then on the PATH.
QString ResolveProgram(const QString& name)
{
    const QString program = name.trimmed();
    if (program.isEmpty() || program.contains(QLatin1Char('/')))
        return program;
    if (QFile::exists(GetExeDir() + program))
        return GetExeDir() + program;
    const QString found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? program : found;
}

bool SameFolder(const QString& a, const QString& b)
{
    return QDir::cleanPath(a.trimmed()) == QDir::cleanPath(b.trimmed());
}

void ReloadListsAfterRestore()
{
    // At start-up the data module does not exist yet and there is nothing to reload.
    if (AppContext().DM) {
        ReloadAllLists();
        AnnounceDataReplaced();
    }
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& caption)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

// While an operation runs the dialog takes no second click.
class DisabledWhileRunning {
public:
    explicit DisabledWhileRunning(QWidget* w) : w_(w), was_(w->isEnabled()) { w_->setEnabled(false); }
    ~DisabledWhileRunning()
    {
        if (w_)
            w_->setEnabled(was_);
    }
    DisabledWhileRunning(const DisabledWhileRunning&) = delete;
    DisabledWhileRunning& operator=(const DisabledWhileRunning&) = delete;

private:
    QPointer<QWidget> w_;
    bool was_;
};

} // namespace

QString DefaultArchiveFolder() { return QDir::homePath() + QStringLiteral("/qor-archive"); }

TSaveSettings& SaveDialogSettings()
{
    static TSaveSettings settings;
    return settings;
}

namespace {

std::array<VarDesc, 18> SaveVars()
{
    TSaveSettings& s = SaveDialogSettings();
    return {{
        {"SaveDate", 'D', &s.SaveDate},
        {"ReservDate", 'D', &s.ReservDate},
        {"ReservMin", 'I', &s.ReservMin},
        {"SaveMin", 'I', &s.SaveMin},
        {"ReservMake", 'B', &s.ReservMake},
        {"SaveMake", 'B', &s.SaveMake},
        {"SCopyPath", 'S', &s.SCopyPath},
        {"SArchivPrg", 'S', &s.SArchivPrg},
        {"SArchivParam", 'S', &s.SArchivParam},
        {"SDeArcPrg", 'S', &s.SDeArcPrg},
        {"SDeArcParam", 'S', &s.SDeArcParam},
        {"SArcFileMask", 'S', &s.SArcFileMask},
        {"SArchivate", 'B', &s.SArchivate},
        {"SShowBars", 'B', &s.SShowBars},
        {"SCopyBase", 'B', &s.SCopyBase},
        {"SBatch", 'B', &s.SBatch},
        {"SDelTmp", 'B', &s.SDelTmp},
        {"SDelArc", 'B', &s.SDelArc},
    }};
}

} // namespace

void ReadSaveSection()
{
    SaveDialogSettings() = TSaveSettings();
    const auto vars = SaveVars();
    RestProgramIniSection(kSection, vars);
}

void WriteSaveSection()
{
    const auto vars = SaveVars();
    SaveProgramIniSection(kSection, vars);
}

TFormSave::TFileChooser& TFormSave::FileChooser()
{
    static TFileChooser chooser = [](QWidget* parent, const QString& title, const QString& folder) {
        QFileDialog dialog(parent, title, folder);
        dialog.setFileMode(QFileDialog::AnyFile); // a new name picks a folder too
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
    return chooser;
}

TFormSave::TFormSave(QWidget* parent) : TForm(parent, QStringLiteral("FormSave"))
{
    setWindowTitle(QStringLiteral("Сохранение данных"));
    auto* root = new QVBoxLayout(this);
    pc = Named(new QTabWidget(this), "pc");
    root->addWidget(pc);

    // Save and restore through the archiver.
    tabSave = Named(new QWidget, "tabSave");
    {
        auto* l = new QGridLayout(tabSave);
        l->addWidget(new QLabel(QStringLiteral("Устройство хранения или директорий"), tabSave), 0, 0, 1, 3);
        edCopyPath = Named(new Tyq_CustomComboEdit(tabSave), "edCopyPath");
        l->addWidget(edCopyPath, 1, 0, 1, 3);
        btSave = MakeButton(tabSave, "btSave", QStringLiteral("Сохранить"));
        btRestore = MakeButton(tabSave, "btRestore", QStringLiteral("Восстановить"));
        btCopyToDiskette = MakeButton(tabSave, "btCopyToDiskette", QStringLiteral("На дискеты"));
        l->addWidget(btSave, 2, 0);
        l->addWidget(btRestore, 2, 1);
        l->addWidget(btCopyToDiskette, 2, 2);
        l->setRowStretch(3, 1);
    }
    pc->addTab(tabSave, QStringLiteral("Сохранение данных"));

    tabReserv = Named(new QWidget, "tabReserv");
    {
        auto* l = new QGridLayout(tabReserv);
        l->addWidget(new QLabel(QStringLiteral("Директорий резервной копии"), tabReserv), 0, 0, 1, 2);
        edReservPath = Named(new Tyq_CustomComboEdit(tabReserv), "edReservPath");
        l->addWidget(edReservPath, 1, 0, 1, 2);
        btReservSave = MakeButton(tabReserv, "btReservSave", QStringLiteral("Выполнить"));
        btReservRest = MakeButton(tabReserv, "btReservRest", QStringLiteral("Восстановить"));
        l->addWidget(btReservSave, 2, 0);
        l->addWidget(btReservRest, 2, 1);
        l->setRowStretch(3, 1);
    }
    pc->addTab(tabReserv, QStringLiteral("Резервное копирование"));

    tabCompress = Named(new QWidget, "tabCompress");
    {
        auto* l = new QVBoxLayout(tabCompress);
        l->addWidget(new QLabel(QStringLiteral("Перестроение всех таблиц базы данных"), tabCompress));
        btCompress = MakeButton(tabCompress, "btCompress", QStringLiteral("Выполнить"));
        l->addWidget(btCompress);
        l->addStretch(1);
    }
    pc->addTab(tabCompress, QStringLiteral("Сжатие данных"));

    tabConfig = Named(new QWidget, "tabConfig");
    {
        auto* l = new QGridLayout(tabConfig);
        cbArc = Check(tabConfig, "cbArc", QStringLiteral("Архивировать данные"));
        cbBar = Check(tabConfig, "cbBar", QStringLiteral("Показывать индикатор"));
        cbCopy = Check(tabConfig, "cbCopy", QStringLiteral("Копировать базы"));
        cbBatch = Check(tabConfig, "cbBatch", QStringLiteral("Быстрое копирование данных"));
        cbDelTmp = Check(tabConfig, "cbDelTmp", QStringLiteral("Удалять временные файлы"));
        cbDelArc = Check(tabConfig, "cbDelArc", QStringLiteral("Удалять файлы архивов"));
        int row = 0;
        for (QCheckBox* c : {cbArc, cbBar, cbCopy, cbBatch, cbDelTmp, cbDelArc})
            l->addWidget(c, row++, 0, 1, 2);
        lbMask = Named(new QLabel(QStringLiteral("Маска"), tabConfig), "lbMask");
        edMask = Named(new QLineEdit(tabConfig), "edMask");
        auto* mask = new QHBoxLayout;
        mask->addWidget(lbMask);
        mask->addWidget(edMask, 1);
        l->addLayout(mask, row++, 0, 1, 2);
        auto group = [&](const char* name, const QString& title, QLineEdit*& prg, const char* prgName, QLineEdit*& par,
                         const char* parName) {
            auto* g = Named(new QGroupBox(title, tabConfig), name);
            auto* gl = new QHBoxLayout(g);
            prg = Named(new QLineEdit(g), prgName);
            par = Named(new QLineEdit(g), parName);
            gl->addWidget(prg, 1);
            gl->addWidget(par, 3);
            l->addWidget(g, row++, 0, 1, 2);
            return g;
        };
        gbArc = group("gbArc", QStringLiteral("Архиватор"), edArc, "edArc", edArcParam, "edArcParam");
        gbDeArc = group("gbDeArc", QStringLiteral("Деархиватор"), edDeArc, "edDeArc", edDeArcParam, "edDeArcParam");
        cbReservMake = Check(
            tabConfig, "cbReservMake", QStringLiteral("Сообщать о необходимости резервного копирования данных"));
        udReservMin = Named(new QSpinBox(tabConfig), "udReservMin");
        cbSaveMake = Check(tabConfig, "cbSaveMake", QStringLiteral("Сообщать о необходимости сохранения данных"));
        udSaveMin = Named(new QSpinBox(tabConfig), "udSaveMin");
        for (QSpinBox* ud : {udReservMin, udSaveMin})
            ud->setRange(0, 999);
        l->addWidget(cbReservMake, row, 0);
        l->addWidget(udReservMin, row++, 1);
        l->addWidget(cbSaveMake, row, 0);
        l->addWidget(udSaveMin, row++, 1);
        l->setRowStretch(row, 1);
        l->setColumnStretch(1, 1);
    }
    pc->addTab(tabConfig, QStringLiteral("Настройка"));

    // toggled, not clicked: the rules must also hold after SettingsToControls.
    connect(cbArc, &QCheckBox::toggled, this, [this] { UpdateControlRules(); });
    connect(cbCopy, &QCheckBox::toggled, this, [this] { UpdateControlRules(); });
    connect(cbDelArc, &QCheckBox::toggled, this, [this] { UpdateControlRules(); });
    const auto run = [this](void (*click)(TFormSave&)) {
        return guarded([this, click] {
            DisabledWhileRunning disabled(this);
            click(*this);
        });
    };
    connect(btSave, &QPushButton::clicked, this, run([](TFormSave& f) { f.DoSave(); }));
    connect(btRestore, &QPushButton::clicked, this, run([](TFormSave& f) { f.DoRestore(); }));
    connect(btCopyToDiskette, &QPushButton::clicked, this, run([](TFormSave& f) { f.CopyToDisketteClick(); }));
    connect(btReservSave, &QPushButton::clicked, this, run([](TFormSave& f) { f.ReservSaveClick(); }));
    connect(btReservRest, &QPushButton::clicked, this, run([](TFormSave& f) { f.ReservRestClick(); }));
    connect(btCompress, &QPushButton::clicked, this, run([](TFormSave& f) { f.CompressClick(); }));
    for (Tyq_CustomComboEdit* edit : {edCopyPath, edReservPath}) {
        edit->SetGlyphKind(gkEllipsis);
        edit->OnButtonClick = [this, edit](QObject*) { GuardedCall([this, edit] { ChoosePath(edit); }); };
    }

    SettingsToControls();
    resize(640, 440);
}

void TFormSave::SettingsToControls()
{
    const TSaveSettings& s = SaveDialogSettings();
    edCopyPath->setText(s.SCopyPath);
    edArc->setText(s.SArchivPrg);
    edArcParam->setText(s.SArchivParam);
    edDeArc->setText(s.SDeArcPrg);
    edDeArcParam->setText(s.SDeArcParam);
    edMask->setText(s.SArcFileMask);
    cbArc->setChecked(s.SArchivate);
    cbBar->setChecked(s.SShowBars);
    cbCopy->setChecked(s.SCopyBase);
    cbBatch->setChecked(s.SBatch);
    cbDelTmp->setChecked(s.SDelTmp);
    cbDelArc->setChecked(s.SDelArc);
    edReservPath->setText(s.ReservPath);
    udReservMin->setValue(s.ReservMin);
    udSaveMin->setValue(s.SaveMin);
    cbReservMake->setChecked(s.ReservMake);
    cbSaveMake->setChecked(s.SaveMake);
    UpdateControlRules();
}

void TFormSave::ControlsBackToSettings()
{
    TSaveSettings& s = SaveDialogSettings();
    s.SCopyPath = edCopyPath->text();
    s.SArchivPrg = edArc->text();
    s.SArchivParam = edArcParam->text();
    s.SDeArcPrg = edDeArc->text();
    s.SDeArcParam = edDeArcParam->text();
    s.SArcFileMask = edMask->text();
    s.SArchivate = cbArc->isChecked();
    s.SShowBars = cbBar->isChecked();
    s.SCopyBase = cbCopy->isChecked();
    s.SBatch = cbBatch->isChecked();
    s.SDelTmp = cbDelTmp->isChecked();
    s.SDelArc = cbDelArc->isChecked();
    s.ReservPath = edReservPath->text();
    s.ReservMin = udReservMin->value();
    s.SaveMin = udSaveMin->value();
    s.ReservMake = cbReservMake->isChecked();
    s.SaveMake = cbSaveMake->isChecked();
}

void TFormSave::ControlsToSettings()
{
    TSaveRestObject& o = SaveRestObject();
    o.Archivate = cbArc->isChecked(); // first: the program setters may switch it off
    o.DataPath = GetDataPath();
    o.TmpPath = TMP;
    o.WorkPath = AddBackslash(TMP) + QStringLiteral("SAVE/");
    o.CopyPath = edCopyPath->text();
    o.ArcMask = edMask->text();
    o.ShowBars = cbBar->isChecked();
    o.CopyBase = cbCopy->isChecked();
    o.Batch = cbBatch->isChecked();
    o.DelTmp = cbDelTmp->isChecked();
    o.DelArc = cbDelArc->isChecked();
    ReadExtraFiles(); // the data INI of a first start is there by now
    o.ExtraFiles = GlobalFileList();
    o.ReservPath = edReservPath->text();
    o.DataDate = Cfg.Workdate;
}

void TFormSave::UpdateControlRules()
{
    const bool arc = cbArc->isChecked();
    lbMask->setEnabled(arc);
    edMask->setEnabled(arc);
    gbArc->setVisible(arc);
    gbDeArc->setVisible(arc);
    cbBatch->setEnabled(cbCopy->isChecked());
    btCopyToDiskette->setEnabled(arc && !cbDelArc->isChecked());
}

void TFormSave::SetMode(bool restoreOnly)
{
    if (restoreOnly == restoreOnly_)
        return;
    restoreOnly_ = restoreOnly;
    pc->setTabVisible(pc->indexOf(tabCompress), !restoreOnly);
    // Gone rather than disabled: a disabled button looked like one that does nothing.
    btSave->setVisible(!restoreOnly);
    btReservSave->setVisible(!restoreOnly);
}

void TFormSave::ShowPage(QWidget* page) { pc->setCurrentWidget(page); }

int TFormSave::Execute() { return ShowModal(); }

void TFormSave::showEvent(QShowEvent* event)
{
    SettingsToControls();
    TForm::showEvent(event);
}

void TFormSave::hideEvent(QHideEvent* event)
{
    ControlsBackToSettings();
    TForm::hideEvent(event);
}

bool TFormSave::DoSave()
{
    ControlsToSettings();
    TSaveRestObject& o = SaveRestObject();
    // The usual folder is made on its first use without a question.
    if (SameFolder(o.CopyPath, DefaultArchiveFolder()))
        EnsureDirectory(DefaultArchiveFolder());
    o.SetArchiver(ResolveProgram(edArc->text()));
    o.ArchiverParams = edArcParam->text();
    if (!o.Save())
        return false;
    SaveDialogSettings().SaveDate = Date();
    const QString where = o.CopyPath.trimmed().isEmpty() ? o.WorkFolderPath() : o.CopyPath.trimmed();
    AppMessageBox(QStringLiteral("Данные сохранены\r\n") + where, QStringLiteral("Сохранение данных"));
    return true;
}

void TFormSave::AskReserveFirst()
{
    // Esc stops the operation: the harmless answer.
    const int answer = ChooseButton(
        QStringLiteral("Для обеспечения большей безопасности рекомендуется выполнить резервное копирование данных"),
        QString(),
        {Variant(3), Variant(QStringLiteral("Выполнить резервное копирование данных")),
            Variant(QStringLiteral("Продолжить без резервного копирования")),
            Variant(QStringLiteral("Прекратить операцию"))});
    if (answer == 1)
        DoReserveSave();
    else if (answer != 2)
        Abort();
}

bool TFormSave::DoRestore()
{
    if (!restoreOnly_)
        AskReserveFirst();
    ControlsToSettings();
    TSaveRestObject& o = SaveRestObject();
    o.SetDeArchiver(ResolveProgram(edDeArc->text()));
    o.DeArchiverParams = edDeArcParam->text();
    if (!o.Restore())
        return false;
    ReloadListsAfterRestore();
    AppMessageBox(QStringLiteral("Данные восстановлены\r\nРабочая дата: ") + DateToStr(Cfg.Workdate),
        QStringLiteral("Восстановление данных"));
    return true;
}

bool TFormSave::DoReserveSave()
{
    const int answer = ChooseButton(QStringLiteral("\tПеред выполнением резервного копирования Вы должны быть уверены "
                                                   "в полной целостности данных\r\n\tСохраняемые данные удалят "
                                                   "выполненную ранее резервную копию"),
        QString(),
        {Variant(2), Variant(QStringLiteral("Выполнить резервное копирование данных")),
            Variant(QStringLiteral("Не выполнять резервного копирования"))});
    if (answer != 1)
        return false;
    ControlsToSettings();
    if (!SaveRestObject().ReserveSave())
        return false;
    // Only a copy that exists counts as the last reserve copy.
    SaveDialogSettings().ReservDate = Date();
    AppMessageBox(QStringLiteral("Резервная копия сделана\r\n") + SaveRestObject().ReservFolderPath(),
        QStringLiteral("Резервное копирование"));
    return true;
}

void TFormSave::ReservSaveClick() { DoReserveSave(); }

void TFormSave::ReservRestClick()
{
    // Said before the question: there is nothing to confirm without a copy.
    ControlsToSettings();
    if (!HasReserveCopy(SaveRestObject().ReservFolderPath())) {
        ShowError(QStringLiteral("Резервной копии нет|В папке ") + EscapeBars(SaveRestObject().ReservFolderPath())
            + QStringLiteral(" нет резервной копии данных: восстанавливать нечего."));
        return;
    }
    const int answer = ChooseButton(QStringLiteral("Выполнить восстановление данных резервного копирования ?"),
        QStringLiteral("Вы должны быть уверены в том, что резервная копия данных полностью работоспособна !!!"),
        {Variant(2), Variant(QStringLiteral("Выполнить восстановление резервной копии данных")),
            Variant(QStringLiteral("Отказаться от восстановления"))});
    if (answer != 1)
        return;
    ControlsToSettings();
    if (!SaveRestObject().ReserveRestore())
        return;
    ReloadListsAfterRestore();
    AppMessageBox(QStringLiteral("Данные восстановлены из резервной копии\r\nРабочая дата: ") + DateToStr(Cfg.Workdate),
        QStringLiteral("Восстановление резервной копии"));
}

void TFormSave::CompressClick()
{
    AskReserveFirst();
    ControlsToSettings();
    SaveRestObject().Compress();
}

void TFormSave::CopyToDisketteClick()
{
    ControlsToSettings();
    SaveRestObject().CopyArchiveToFloppies();
}

void TFormSave::ChoosePath(Tyq_CustomComboEdit* edit)
{
    const QString file = FileChooser()(
        this, QStringLiteral("Выберите любой файл в пути копирования или создайте новый"), edit->text());
    if (!file.isEmpty())
        edit->setText(QFileInfo(file).absolutePath());
}

void OfferSaveBeforePeriodClose()
{
    TFormSave& form = FormSave();
    const QString caption = form.windowTitle();
    form.setWindowTitle(QStringLiteral("Сохранение данных перед переходом на новый период"));
    struct Back {
        TFormSave& form;
        QString caption;
        ~Back() { form.setWindowTitle(caption); }
    } back{form, caption};
    form.SetMode(false);
    form.ShowPage(form.tabSave);
    form.Execute();
}

TFormSave& FormSave()
{
    if (auto* form = qobject_cast<TFormSave*>(FindProgramForm(QStringLiteral("FormSave"))))
        return *form;
    // Before the registry made it (tests, a start that failed early): one of
    // our own, gone with the application.
    static QPointer<TFormSave> own;
    if (!own) {
        own = new TFormSave();
        qAddPostRoutine([] { delete own.data(); });
    }
    return *own;
}

void SetModifierProvider(TModifierProvider provider)
{
    ModifierProvider() = provider ? std::move(provider) : [] { return QGuiApplication::queryKeyboardModifiers(); };
}

void RunRecoveryMenu()
{
    const qint32 remembered = Cfg.Error;
    struct Restore {
        qint32 value;
        ~Restore() { Cfg.Error = value; }
    } restore{remembered};
    ReadErrorsSection();
    const qint32 state = Cfg.Error;
    if (state == 0) {
        const Qt::KeyboardModifiers keys = ModifierProvider()();
        const bool asked = (keys & Qt::ShiftModifier) && (keys & Qt::ControlModifier) && !(keys & Qt::AltModifier);
        if (!DebugStopEnabled() || !asked)
            return;
    }
    // What a killed run was doing, and where that left the data.
    const QString interrupted = InterruptedOperationReport();
    const QString title = interrupted.isEmpty()
        ? QStringLiteral("Программа завершилась с ошибкой\r\n\tКод:  ") + QString::number(state)
        : QStringLiteral("Работа программы была прервана");
    const QString details = interrupted.isEmpty()
        ? QString()
        : EscapeBars(interrupted) + QStringLiteral("\r\nКод: %1\r\n\r\n").arg(state);
    for (;;) {
        const int answer
            = ChooseButton(title, details + QStringLiteral("Попытайтесь предпринять одно из следующих действий"),
                {Variant(1), Variant(QStringLiteral("Продолжить")),
                    Variant(QStringLiteral("Восстановить данные из резервной копии")),
                    Variant(QStringLiteral("Восстановить данные с устройства хранения")),
                    Variant(QStringLiteral("Проверить целостность базы данных")),
                    Variant(QStringLiteral("Завершить работу программы"))});
        switch (answer) {
        case 1: return;
        case 2:
        case 3: {
            TFormSave& form = FormSave();
            form.ShowPage(answer == 2 ? form.tabReserv : form.tabSave);
            form.SetMode(true);
            form.Execute();
            break;
        }
        case 4:
            if (!LockDataBaseExclusive())
                ErrorAbort(QStringLiteral("Базы заняты другим пользователем\r\nПреобразование возможно только в "
                                          "режиме монопольного доступа"));
            {
                const bool whole = CheckDataBase();
                LockDataBaseShared();
                // A failure was shown by the check itself; the clerk hears the
                // end too, in a box that asks nothing.
                MessageForm(std::nullopt, std::nullopt,
                    whole ? QStringLiteral("Проверка целостности базы данных завершена")
                          : QStringLiteral("Проверка целостности базы данных не завершена"),
                    whole ? msOk : msWarning | msOk, {Variant(QString())},
                    whole ? QStringLiteral("Таблицы базы данных проверены и соответствуют описанию")
                          : QStringLiteral("Восстановите данные из резервной копии или с устройства хранения"));
            }
            break;
        case 5: TerminateApplication(); Abort();
        default: break;
        }
    }
}
