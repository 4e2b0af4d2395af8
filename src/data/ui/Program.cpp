#include "data/ui/Program.h"

#include "data/AppContext.h"
#include "data/DatModl.h"
#include "data/FirstStart.h"
#include "data/Globals.h"
#include "data/Startup.h"
#include "data/ui/FormPlacement.h"
#include "data/ui/FormRegistry.h"
#include "data/ui/Otl.h"
#include "data/ui/ProgramFonts.h"
#include "data/ui/ResultR.h"
#include "data/ui/Splash.h"
#include "db/FolderWrites.h"
#include "foundation/FileList.h"
#include "foundation/IniFiles.h"
#include "foundation/IniPersist.h"
#include "foundation/Messages.h"
#include "foundation/Progress.h"
#include "foundation/ui/base/FormBase.h"
#include "foundation/ui/dialogs/Bars.h"
#include "foundation/ui/dialogs/Clndr.h"
#include "foundation/ui/dialogs/WMsgs.h"
#include "foundation/ui/grids/DBGrid.h"
#include "platform/Exceptions.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMainWindow>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct TProgramUnit {
    QString Name;
    std::function<void()> Init;
    std::function<void()> Done;
};

QList<TProgramUnit>& Units()
{
    static QList<TProgramUnit> units;
    return units;
}

std::function<void()> g_recoveryMenu;
std::function<void(const QString&)> g_stepHook;
bool g_mainFormStarted = false;
QString g_helpFile;
// The hourglass of the start-up, from AppInitProc to its last step.
std::optional<BusyScope> g_hourGlass;

void Step(const char* name)
{
    if (g_stepHook)
        g_stepHook(QString::fromLatin1(name));
}

// A fixed path on the developer's machine, as the program always had one.
QString DevelopmentHelpFile() { return QStringLiteral("/usr/share/doc/qor/Qor.hlp"); }

// Ends the main loop when the main window closes: Qt would end it on the
// last window, the program on its main window.
class TMainCloseWatcher final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close) {
            QPointer<QWidget> window = qobject_cast<QWidget*>(watched);
            QTimer::singleShot(0, qApp, [window] {
                if (!window || !window->isVisible())
                    QCoreApplication::quit();
            });
        }
        return false;
    }
};

// The desktop ends a session with SIGTERM (and a closed terminal with
// SIGHUP): the program then ends as its own "Выход" ends it, settings saved
// and the run state clean. The handler only writes a byte; the main loop
// reads it and closes the main window.
class TTerminationSignals final : public QObject {
public:
    TTerminationSignals()
    {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0)
            return;
        ::fcntl(fds_[0], F_SETFL, ::fcntl(fds_[0], F_GETFL) | O_NONBLOCK);
        ::fcntl(fds_[1], F_SETFL, ::fcntl(fds_[1], F_GETFL) | O_NONBLOCK);
        g_writeFd = fds_[1];
        notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { Arrived(); });
        struct sigaction action {};
        action.sa_handler = &Handler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &action, &oldTerm_);
        ::sigaction(SIGHUP, &action, &oldHup_);
        installed_ = true;
    }
    ~TTerminationSignals() override
    {
        if (installed_) {
            ::sigaction(SIGTERM, &oldTerm_, nullptr);
            ::sigaction(SIGHUP, &oldHup_, nullptr);
        }
        g_writeFd = -1;
        delete notifier_;
        for (int fd : fds_)
            if (fd >= 0)
                ::close(fd);
    }
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

    bool Requested() const { return requested_; }

private:
    static void Handler(int)
    {
        const int saved = errno;
        const char byte = 1;
        if (g_writeFd >= 0 && ::write(g_writeFd, &byte, 1) < 0) {
            // A full pipe holds a byte already: the end is asked for.
        }
        errno = saved;
    }
    void Arrived()
    {
        char buffer[16];
        while (::read(fds_[0], buffer, sizeof buffer) > 0) {}
        requested_ = true;
        // Before the main loop runs it is skipped; in it, the main window
        // closes as the clerk closes it, which ends the loop.
        if (QMainWindow* main = MainForm(); main && main->isVisible()) {
            main->close();
            return;
        }
        // A start-up box would wait for the clerk who is gone: it closes as
        // by Esc, and the start-up's later boxes only go to the log.
        if (!declined_)
            declined_.emplace(nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QDialog*>(w); box && box->isVisible() && box->isModal())
                box->reject();
    }

    static inline int g_writeFd = -1;
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction oldTerm_ {};
    struct sigaction oldHup_ {};
    bool installed_ = false;
    bool requested_ = false;
    std::optional<ScopedMessageService> declined_;
};

TTerminationSignals* g_termination = nullptr;

bool IsFallbackMessageService()
{
    IMessageService* current = &MessageService();
    SetMessageService(nullptr);
    const bool fallback = current == &MessageService();
    SetMessageService(current);
    return fallback;
}

bool IsSilentProgress()
{
    IProgress* current = &Progress();
    SetProgress(nullptr);
    const bool silent = current == &Progress();
    SetProgress(current);
    return silent;
}

// What the block made, undone in reverse on every way out.
class TProgramRun {
public:
    TProgramRun()
    {
        // A service the caller installed (the tests' scripted one) stays.
        if (IsFallbackMessageService())
            InstallMessageWindows();
        if (IsSilentProgress())
            InstallProgressWindow();
    }
    ~TProgramRun()
    {
        RemoveWindowPlacement(); // the windows go, nothing more is saved
        g_hourGlass.reset();
        SetApplicationRunning(false);
        ReleaseSplash();
        DestroyProgramForms();
        ShutDown(TStartStep::DataFolder); // the data module first
        for (int i = unitsDone_ - 1; i >= 0; --i) {
            try {
                if (Units()[i].Done)
                    Units()[i].Done();
            } catch (...) {
                // The rest of the shutdown still runs.
            }
        }
        ShutDown();
        g_mainFormStarted = false;
        RemoveMonthCalendarForm();
        RemoveProgressWindow();
        RemoveMessageWindows();
    }
    TProgramRun(const TProgramRun&) = delete;
    TProgramRun& operator=(const TProgramRun&) = delete;

    void InitUnits()
    {
        for (const TProgramUnit& unit : Units()) {
            if (unit.Init)
                unit.Init();
            ++unitsDone_;
        }
    }

private:
    int unitsDone_ = 0;
};

int RunProgramBody(TProgramRun& run)
{
    // 1. The units, in their old order.
    Step("units");
    CheckDebugStopMarker();
    StartUp(TStartStep::DataFolder);
    LoadProgramFonts();
    run.InitUnits();

    // 2. The text viewer.
    CreateProgramForm(QStringLiteral("FormView"));

    // 3. The application's initialisation.
    Step("AppInitProc");
    AppInitProc();

    // 4. The splash.
    ShowSplash();
    AddProgramForm(SplashForm());

    // 5. The data base.
    Step("PrepareStart");
    PrepareStart();
    QCoreApplication::processEvents();

    // 7. Title and help. Qt would append a display name to every window's
    // caption; the captions are the windows' own.
    QApplication::setApplicationDisplayName(QString());
    g_helpFile = DevelopmentHelpFile();

    // 8. The data module, then the windows.
    Step("DataModule");
    StartUp(TStartStep::DataModule);
    Step("Forms");
    SetSplashText(QStringLiteral("Формы"));
    // From here on every window shown gets the fonts and its placement.
    InstallWindowPlacement();
    for (const QString& name : StartupFormNames()) {
        if (name == QLatin1String("FormLabel"))
            continue; // one splash only: the one shown already
        CreateProgramForm(name);
    }
    QMainWindow* main = MainForm();

    // 9. The decision to run.
    Step("StartProgram");
    if (!StartProgram() || ApplicationTerminating())
        return Cfg.Error == rsWrongPassword ? 1 : 0;

    Step("MainLoop");
    TMainCloseWatcher watcher;
    main->installEventFilter(&watcher);
    ReleaseSplash();
    const bool quitOnLast = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    SetApplicationRunning(true);
    main->show();
    // A session ended while the program started: no loop, the orderly end.
    int code = g_termination && g_termination->Requested() ? 0 : QApplication::exec();
    SetApplicationRunning(false);
    QApplication::setQuitOnLastWindowClosed(quitOnLast);
    main->removeEventFilter(&watcher);
    if (const auto exitCode = PendingProgramExit())
        return *exitCode;

    Step("FinishProgram");
    FinishProgram();
    return code;
}

} // namespace

void AddProgramUnit(const QString& name, std::function<void()> init, std::function<void()> done)
{
    for (TProgramUnit& unit : Units())
        if (unit.Name == name) {
            unit.Init = std::move(init);
            unit.Done = std::move(done);
            return;
        }
    Units().append({name, std::move(init), std::move(done)});
}

void SetRecoveryMenuHook(std::function<void()> hook) { g_recoveryMenu = std::move(hook); }

void ShowRecoveryMenu()
{
    if (g_recoveryMenu)
        g_recoveryMenu();
}

void SetProgramStepHook(std::function<void(const QString&)> hook) { g_stepHook = std::move(hook); }

void AppInitProc()
{
    g_hourGlass.emplace();
    StartUp(TStartStep::Settings); // the user's settings, the data folder's, the run state
    ReadExtraFiles();
}

void PrepareStart()
{
    // The progress window is the installed sink; the archive dialog waits for its window.
    CreateProgramForm(QStringLiteral("FormSave"));
    GetMonthCalendarForm(); // made now, so that it gets the fonts too
    ApplyFontsToAllForms();
    if (Cfg.Error == rsWrongPassword) {
        ShowWarning(QStringLiteral("В программу пытались войти с неверным паролем"));
        SetRunState(rsClean);
    }
    ShowRecoveryMenu();
    SetRunState(rsStarting);
    Step("OpenDataBase");
    StartUp(TStartStep::DataBase);
    SetRunState(-1);
}

bool StartProgram()
{
    SetSplashText(QStringLiteral("Начальные установки"));
    if (!QFile::exists(g_helpFile))
        g_helpFile = GetExeDir() + QStringLiteral("Qor.hlp");
    if (!CheckPassword())
        return false;

    try {
        SetRunState(-1);
        Step("RestoreFormPlacements");
        RestoreFormPlacements();
        SetRunState(-1);
        g_mainFormStarted = true;
        SetBooleanPickListsInAllGrids();
        Step("GenerateConstDops");
        AddBuiltInKinds();
        try {
            Step("Calendar");
            AddBasicCalendar();
        } catch (...) {
            // The basic calendar is a convenience: without it the program still runs.
        }
        SetRunState(rsRunning);
        if (std::floor(Cfg.LastDate) != std::floor(StartDate)) {
            Cfg.LastDate = StartDate;
            ShowWarning(QStringLiteral("Сегодня :    ") + DateToStr(StartDate));
        }
    } catch (const Exception& e) {
        g_hourGlass.reset();
        if (AskYesNo(QStringLiteral("Ошибка инициализации программы"),
                EscapeBars(e.Message()) + QStringLiteral("\r\nПрервать выполнение ?"), false)) {
            IniSavingEnabled = true;
            ComputeWorkDateBounds();
            Abort();
        }
    } catch (const std::exception& e) {
        g_hourGlass.reset();
        if (AskYesNo(QStringLiteral("Ошибка инициализации программы"),
                EscapeBars(QString::fromUtf8(e.what())) + QStringLiteral("\r\nПрервать выполнение ?"), false)) {
            IniSavingEnabled = true;
            ComputeWorkDateBounds();
            Abort();
        }
    }
    // Whatever happened above: the cursor, the settings flag, the bounds.
    g_hourGlass.reset();
    IniSavingEnabled = true;
    ComputeWorkDateBounds();
    return true;
}

bool CheckPassword()
{
    if (!Cfg.PassCheck)
        return true;
    QString typed;
    if (AskPassword(Cfg.Password, 2, typed))
        return true;
    if (!typed.isEmpty()) {
        ShowError(QStringLiteral("Неверный пароль|Выполнение невозможно"));
        SetRunState(rsWrongPassword);
    } else {
        SetRunState(rsClean);
    }
    TerminateApplication();
    return false;
}

bool AskPassword(const QString& password, int attempts, QString& typed)
{
    for (;;) {
        if (ApplicationTerminating())
            return false;
        Variant value{QString()};
        if (!RequestValue(QStringLiteral("Введите пароль"), QStringLiteral("Пароль"), ivPassword, value)) {
            typed.clear();
            return false;
        }
        typed = value.AsString();
        if (typed.size() < 3) {
            ShowError(QStringLiteral("Слишком короткий пароль"));
            continue;
        }
        if (QString::compare(typed, password, Qt::CaseInsensitive) == 0)
            return true;
        if (--attempts <= 0)
            return false;
        ShowError(QStringLiteral("Неверный пароль"));
    }
}

void FinishProgram()
{
    // A folder that took no writes must not end the run in disorder: each
    // part is tried, the clerk hears once what was lost, the run state is
    // still written.
    QString failure;
    for (void (*save)() : {&SaveFormPlacements, &SaveProgramFonts, &SaveSettings}) {
        try {
            save();
        } catch (const Exception& e) {
            if (failure.isEmpty())
                failure = e.Message();
        }
    }
    if (!failure.isEmpty()) {
        const QString why = WhyFolderRefusesWrites(DataFolder());
        if (!why.isEmpty())
            DataIni().AutoUpdate = false; // told once: closing it does not try again
        ShowError(QStringLiteral("Настройки программы не сохранены|")
            + (why.isEmpty() ? EscapeBars(failure)
                             : QStringLiteral("Папка данных \"%1\": %2.").arg(EscapeBars(DataFolder()), why))
            + QStringLiteral("\r\nИзменения настроек за этот сеанс потеряны."));
    }
    SetRunState(rsClean);
}

bool MainFormStarted() { return g_mainFormStarted; }

QString HelpFileName() { return g_helpFile; }

void ShowProgramHelp()
{
    ShowWarning(QStringLiteral("Справка недоступна|Файл справки ") + EscapeBars(HelpFileName())
        + QStringLiteral(" написан для Windows и в этой системе не может быть показан"));
}

int RunProgram()
{
    SetApplicationTerminating(false);
    ClearPendingProgramExit();
    ClearRunStateHistory();
    RegisterForm(QStringLiteral("FormOtl"), [] { return new TFormOtl(); });
    RegisterForm(QStringLiteral("FormResultR"), [] { return new TFormResultR(); });
    int code = 0;
    TProgramRun run;
    // After the run's message service is in place and gone before it.
    TTerminationSignals termination;
    g_termination = &termination;
    const struct ClearTermination {
        ~ClearTermination() { g_termination = nullptr; }
    } clearTermination;
    try {
        code = RunProgramBody(run);
    } catch (const ProgramExit& e) {
        code = e.Code();
    } catch (...) {
        // The silent abort ends without a word, anything else with its message.
        g_hourGlass.reset();
        ReportException(std::current_exception());
        code = 1;
        if (const auto exitCode = PendingProgramExit())
            code = *exitCode;
    }
    return code;
}
