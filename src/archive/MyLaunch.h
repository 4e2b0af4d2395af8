#pragma once
// Starts an external program (the archiver) and watches it until it ends.
// The saving and restoring of the data base poll HasExited in their wait
// loop; the owned timer also reports the end once through OnFinished.
//
// The child reads from /dev/null, so a program that asks a question cannot
// wait forever; its output goes to a log file in the temporary folder. A
// launcher destroyed while its program still runs kills the program.

#include "platform/Exceptions.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QProcess;
class QTimer;

// "LaunchError: " + the number, which ErrorCode() also keeps: 2 means the
// program could not be started (not found, not executable).
class ELaunchError : public Exception {
public:
    explicit ELaunchError(int code);
    int ErrorCode() const { return code_; }

private:
    int code_;
};

enum class TShowMode { smNormal, smMaximized, smMinimized };

class Tyq_Launcher : public QObject {
public:
    explicit Tyq_Launcher(QObject* owner = nullptr);
    ~Tyq_Launcher() override;

    QString ProgramName;
    // Split as a shell would split it: blanks separate, quotes group.
    QString Parameters;
    // Kept for the settings; a console program has no window to show.
    TShowMode ShowMode = TShowMode::smNormal;
    QString StartDir;
    std::function<void(Tyq_Launcher* sender)> OnFinished;

    // Starts the program and waits until it runs; raises ELaunchError when
    // it cannot be started (HasExited is then true, the timer stays off).
    void Launch();
    bool HasExited();
    bool Running() { return !HasExited(); }
    // -1 while the program runs; a program ended by a signal gives 128 +
    // the signal's number.
    int ExitCode() const { return exitCode_; }
    // Ends a running program: asks first, then kills, and waits for it.
    void Terminate();
    // Everything the program wrote (its standard output and error).
    QString Output() const;
    // The file the output went to.
    QString LogFileName() const { return logFile_; }
    // The shell's show command: 1 normal, 3 maximized, 2 minimized.
    static int ShowCommand(TShowMode mode);

private:
    void Tick();

    std::unique_ptr<QProcess> process_;
    QTimer* timer_;
    int exitCode_ = -1;
    bool started_ = false;
    QString logFile_;
};
