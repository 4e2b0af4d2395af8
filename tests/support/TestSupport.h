#pragma once
// Shared helpers of the tests: screenshots, temporary folders, a fake clock.

#include "platform/Clock.h"

#include <QString>
#include <QTemporaryDir>

class QWidget;

// The folder where window tests leave their screenshots.
QString TestArtifactsDir();
// Saves widget->grab() as <artifacts>/<name>.png and answers the path.
QString SaveScreenshot(QWidget* widget, const QString& name);

// A clock the test moves by hand.
class FakeClock final : public IClock {
public:
    explicit FakeClock(TDateTime now = 45658.5, uint32_t tick = 1000) : now_(now), tick_(tick) {}
    TDateTime Now() override { return now_; }
    uint32_t TickCount() override { return tick_; }
    void SetNow(TDateTime now) { now_ = now; }
    void Advance(uint32_t ms)
    {
        tick_ += ms;
        now_ += ms / 86400000.0;
    }
    void SetTick(uint32_t tick) { tick_ = tick; }

private:
    TDateTime now_;
    uint32_t tick_;
};

// Installs a fake clock for the life of the object.
class ScopedFakeClock {
public:
    explicit ScopedFakeClock(TDateTime now = 45658.5) : clock(now) { SetClock(&clock); }
    ~ScopedFakeClock() { SetClock(nullptr); }
    FakeClock clock;
};

// A temporary folder that is also made the program folder while it lives.
class ScopedProgramFolder {
public:
    ScopedProgramFolder();
    ~ScopedProgramFolder();
    QString Path() const; // with a trailing "/"
    QString File(const QString& name) const { return Path() + name; }

private:
    QTemporaryDir dir_;
};

// The templates a build ships (its bin/TXT folder) copied into the program
// folder's TXT, as an installation has them beside the program.
void InstallShippedTemplates(const QString& shippedTxt, const ScopedProgramFolder& folder);

// A full disk for the life of the object: every write that would make a
// file longer than `bytes` fails (EFBIG, as ENOSPC would) instead of
// raising SIGXFSZ. The whole process is affected, so keep the scope short.
class ScopedFullDisk {
public:
    explicit ScopedFullDisk(long long bytes = 0);
    ~ScopedFullDisk();
    ScopedFullDisk(const ScopedFullDisk&) = delete;
    ScopedFullDisk& operator=(const ScopedFullDisk&) = delete;

private:
    unsigned long long oldLimit_;
    void (*oldHandler_)(int);
};

// Writes bytes into a file, creating folders; fails the test on error.
void WriteFileBytes(const QString& path, const QByteArray& bytes);
QByteArray ReadFileBytes(const QString& path);

// Compares a text line by line with the committed reference file
// tests/fixtures/<folder>/<name>; QOR_UPDATE_GOLDEN=1 writes it anew instead.
void ExpectReference(const QString& folder, const QString& name, const QString& actual);
