#include "archive/MyLaunch.h"

#include "data/Globals.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <csignal>

ELaunchError::ELaunchError(int code) : Exception(QStringLiteral("LaunchError: ") + QString::number(code)), code_(code)
{
}

Tyq_Launcher::Tyq_Launcher(QObject* owner) : QObject(owner), timer_(new QTimer(this))
{
    timer_->setInterval(1000);
    QObject::connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
}

Tyq_Launcher::~Tyq_Launcher()
{
    timer_->stop();
    Terminate();
}

int Tyq_Launcher::ShowCommand(TShowMode mode)
{
    switch (mode) {
    case TShowMode::smMaximized: return 3;
    case TShowMode::smMinimized: return 2;
    case TShowMode::smNormal: break;
    }
    return 1;
}

void Tyq_Launcher::Launch()
{
    Terminate();
    timer_->stop();
    exitCode_ = 0; // a failed start counts as ended
    started_ = false;
    process_ = std::make_unique<QProcess>();
    process_->setProgram(ProgramName);
    process_->setArguments(QProcess::splitCommand(Parameters));
    if (!StartDir.isEmpty())
        process_->setWorkingDirectory(StartDir);
    process_->setStandardInputFile(QProcess::nullDevice());
    const QString tmp = TMP.isEmpty() ? QDir::tempPath() + QLatin1Char('/') : TMP;
    logFile_ = tmp + QStringLiteral("launch.log");
    QFile::remove(logFile_);
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->setStandardOutputFile(logFile_, QIODevice::Truncate);
    process_->start();
    if (!process_->waitForStarted()) {
        process_.reset();
        throw ELaunchError(2);
    }
    started_ = true;
    exitCode_ = -1;
    timer_->start();
}

bool Tyq_Launcher::HasExited()
{
    if (exitCode_ != -1)
        return true;
    if (!process_)
        return false;
    if (process_->state() != QProcess::NotRunning)
        process_->waitForFinished(0); // lets QProcess see the end without an event loop
    if (process_->state() != QProcess::NotRunning)
        return false;
    if (process_->exitStatus() == QProcess::CrashExit) {
        // QProcess does not tell the signal: a kill is the usual cause.
        const int code = process_->exitCode();
        exitCode_ = code > 0 ? 128 + code : 128 + SIGKILL;
    } else {
        exitCode_ = process_->exitCode();
    }
    return true;
}

void Tyq_Launcher::Terminate()
{
    if (!process_ || process_->state() == QProcess::NotRunning)
        return;
    process_->terminate();
    if (!process_->waitForFinished(3000)) {
        process_->kill();
        process_->waitForFinished(3000);
    }
    HasExited();
}

QString Tyq_Launcher::Output() const
{
    QFile file(logFile_);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(file.readAll());
}

void Tyq_Launcher::Tick()
{
    if (!HasExited())
        return;
    timer_->stop();
    if (OnFinished)
        OnFinished(this);
}
