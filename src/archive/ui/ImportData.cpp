#include "archive/ui/ImportData.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "foundation/Messages.h"
#include "foundation/ui/base/FormFuncs.h"
#include "foundation/ui/dialogs/TextView.h"
#include "foundation/ui/edits/ComboEdit.h"
#include "platform/Exceptions.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

namespace {

// Busy, yet the stop button can still be pressed.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

TFormImportData::TFileChooser& TFormImportData::FileChooser()
{
    static TFileChooser chooser
        = [](QWidget* parent, const QString& title, const QString& filter, const QString& proposed) {
              QFileDialog dialog(parent, title, proposed, filter);
              dialog.setFileMode(QFileDialog::AnyFile);
              dialog.setOption(QFileDialog::DontUseNativeDialog);
              if (RunModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
                  return QString();
              return dialog.selectedFiles().first();
          };
    return chooser;
}

TFormImportData::TFormImportData(QWidget* parent) : TForm(parent, QStringLiteral("FormImportData"))
{
    setWindowTitle(QStringLiteral("Импорт данных"));
    auto* grid = new QGridLayout(this);
    lbHeader = Named(new QLabel(QStringLiteral("Импорт данных QO.exe (DOS)"), this), "lbHeader");
    QFont big = lbHeader->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 2);
    lbHeader->setFont(big);
    grid->addWidget(lbHeader, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Каталог данных QO (DOS)"), this), 1, 0);
    edPath = Named(new Tyq_CustomComboEdit(this), "edPath");
    grid->addWidget(edPath, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Каталог данных QOR"), this), 2, 0);
    edOutPath = Named(new Tyq_CustomComboEdit(this), "edOutPath");
    grid->addWidget(edOutPath, 2, 1, 1, 2);
    for (auto* edit : {edPath, edOutPath})
        edit->SetGlyphKind(gkEllipsis);
    lbMessage = Named(new QLabel(this), "lbMessage");
    grid->addWidget(lbMessage, 3, 0, 1, 3);
    pbProgress = Named(new QProgressBar(this), "pbProgress");
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);
    grid->addWidget(pbProgress, 4, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Счетчики последнего импорта"), this), 5, 0, 1, 3);
    lbCounters = Named(new QListWidget(this), "lbCounters");
    lbCounters->setMinimumHeight(120);
    grid->addWidget(lbCounters, 6, 0, 1, 3);
    btImport = Named(new QPushButton(QStringLiteral("Импорт"), this), "btImport");
    Button1 = Named(new QPushButton(QStringLiteral("Локальный Импорт"), this), "Button1");
    btClose = Named(new QPushButton(QStringLiteral("Закрыть"), this), "btClose");
    grid->addWidget(btImport, 7, 0);
    grid->addWidget(Button1, 7, 1);
    grid->addWidget(btClose, 7, 2);
    setMinimumWidth(520);

    connect(btImport, &QPushButton::clicked, this, &TFormImportData::ImportClick);
    connect(Button1, &QPushButton::clicked, this, &TFormImportData::LocalClick);
    connect(btClose, &QPushButton::clicked, this, &QWidget::close);
    edPath->OnButtonClick = [this](QObject*) {
        ChoosePath(edPath, QStringLiteral("Файлы QO(DOS) (*.dbf);;Все файлы (*)"), QStringLiteral("SR.dbf"));
    };
    edOutPath->OnButtonClick = [this](QObject*) {
        ChoosePath(edOutPath, QStringLiteral("Файлы QOR (*.db);;Все файлы (*)"), QStringLiteral("SR.DB"));
    };

    TImportRun& run = import_.Run();
    run.OnStage = [this](const QString& stage) { lbMessage->setText(stage); };
    run.OnProgress = [this](int percent) { pbProgress->setValue(percent); };
    run.OnIdle = [] { QCoreApplication::processEvents(); };
    // Before the import says it ended.
    import_.ShowErrorList = [this](const QString& file) {
        errorsShown_ = true;
        ShowViewFile(QStringLiteral("Ошибки импорта данных"), QString(), file, false, true);
    };

    import_.LoadPaths();
    edPath->setText(import_.PathFrom);
    // The target can only be the open data folder; it is proposed.
    edOutPath->setText(import_.PathTo.isEmpty() ? AppContext().DataFolder() : import_.PathTo);
}

void TFormImportData::ChoosePath(Tyq_CustomComboEdit* edit, const QString& filter, const QString& proposed)
{
    const QString file
        = FileChooser()(this, QStringLiteral("Выберите любой файл"), filter, QDir(edit->text()).filePath(proposed));
    if (file.isEmpty())
        return;
    if (!QFileInfo::exists(file)) {
        ShowError(QStringLiteral("Не найден ") + file);
        return;
    }
    edit->setText(QFileInfo(file).absolutePath() + QLatin1Char('/'));
}

void TFormImportData::TakePaths()
{
    import_.PathFrom = edPath->text().trimmed();
    import_.PathTo = edOutPath->text().trimmed();
}

void TFormImportData::ImportClick()
{
    if (import_.Running()) {
        import_.AskStop();
        return;
    }
    TakePaths();
    btImport->setText(QStringLiteral("Стоп..."));
    Button1->setEnabled(false);
    btClose->setEnabled(false);
    errorsShown_ = false;
    try {
        BusyCursor busy;
        import_.Execute();
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowError(e.Message());
    }
    // Even a stopped run may have put its tables in place.
    RunGuarded(AnnounceDataReplaced);
    btImport->setText(QStringLiteral("Импорт"));
    // The stage line keeps how the last run ended.
    lbMessage->setText(import_.Completed() ? QStringLiteral("Импорт закончен") : QStringLiteral("Импорт прерван !"));
    if (import_.Completed())
        pbProgress->setValue(100);
    Button1->setEnabled(true);
    btClose->setEnabled(true);
    ShowCounters();
    // An import that ended by a refusal or an abort has not shown its list yet.
    const QString errors = import_.ErrorListToShow();
    if (!errors.isEmpty() && !errorsShown_)
        ShowViewFile(QStringLiteral("Ошибки импорта данных"), QString(), errors, false, true);
    if (closeWhenDone_)
        close();
}

void TFormImportData::LocalClick()
{
    if (import_.Running())
        return;
    TakePaths();
    try {
        import_.LocalImport();
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowError(e.Message());
    }
}

void TFormImportData::ShowCounters()
{
    lbCounters->clear();
    const TClipperMemVarList& counters = import_.Run().Counters();
    for (int i = 0; i < counters.Count(); ++i) {
        const TClipperMemVar& v = counters.Items(i);
        lbCounters->addItem(ImportCounterCaption(v.Name) + QStringLiteral(": ") + v.Value.AsString());
    }
}

void TFormImportData::closeEvent(QCloseEvent* event)
{
    if (import_.Running()) {
        // The run still uses the window's lists: it ends first.
        event->ignore();
        closeWhenDone_ = import_.AskStop();
        return;
    }
    TForm::closeEvent(event);
}

void TFormImportData::reject()
{
    if (import_.Running())
        closeWhenDone_ = import_.AskStop();
    else
        TForm::reject();
}
