#pragma once
// A progress sink for tests: records what a long operation reports and can
// ask it to stop at the N-th step. It installs itself for its scope.
//
//   RecordingProgress progress;
//   progress.StopAtStep(3);                 // Stopped() turns true at the 3rd PosBar/IncPos
//   RunTheOperation();
//   EXPECT_EQ(progress.Log(), QStringList({"Init 0 0 10 0 0", "Pos 1 0", ...}));
//   EXPECT_FALSE(progress.Active());        // the session was closed
//
// Log lines: "Init <mode> <min1> <max1> <min2> <max2>", "Pos <bar> <value>",
// "Mess <line> <text>", "Fill <bar>", "Wait <ms>", "Stopped <0|1>", "Close".
// IncPos is logged as the Pos it makes.

#include "foundation/Progress.h"
#include "platform/Exceptions.h"

#include <QStringList>

class RecordingProgress final : public IProgress {
public:
    RecordingProgress() : install_(this) {}

    void Init(int Mode, int Min1, int Max1, int Min2 = 0, int Max2 = 0) override
    {
        log_.append(QStringLiteral("Init %1 %2 %3 %4 %5").arg(Mode).arg(Min1).arg(Max1).arg(Min2).arg(Max2));
        if (Mode == 0) {
            if (active_)
                throw EAppException(QStringLiteral("Bars is allready active"));
            active_ = true;
            stopped_ = false;
            ++sessions_;
            value_[0] = Min1 - 1;
            value_[1] = Min2 - 1;
            max_[0] = Max1;
            max_[1] = Max2;
        } else if (Mode == 1) {
            value_[0] = Min1 - 1;
            max_[0] = Max1;
        } else if (Mode == 2) {
            value_[1] = Min2 - 1;
            max_[1] = Max2;
        }
    }
    void PosBar(int Bar, int Value) override
    {
        log_.append(QStringLiteral("Pos %1 %2").arg(Bar).arg(Value));
        if (Bar == 1 || Bar == 2)
            value_[Bar - 1] = Value;
        ++steps_;
        if (stopAt_ > 0 && steps_ >= stopAt_)
            stopped_ = true;
    }
    void IncPos(int Bar) override
    {
        if (Bar == 1 || Bar == 2)
            PosBar(Bar, value_[Bar - 1] + 1);
    }
    void Mess(int Line, const QString& Text) override { log_.append(QStringLiteral("Mess %1 %2").arg(Line).arg(Text)); }
    void FillBar(int Bar) override
    {
        log_.append(QStringLiteral("Fill %1").arg(Bar));
        if (Bar == 1 || Bar == 2)
            value_[Bar - 1] = max_[Bar - 1];
    }
    void Wait(int Ms) override { log_.append(QStringLiteral("Wait %1").arg(Ms)); }
    bool Stopped() const override { return stopped_; }
    void SetStopped(bool Flag) override
    {
        log_.append(QStringLiteral("Stopped %1").arg(Flag ? 1 : 0));
        stopped_ = Flag;
    }
    bool Active() const override { return active_; }
    void Close() override
    {
        log_.append(QStringLiteral("Close"));
        active_ = false;
        stopped_ = false;
    }
    // Kept apart from the log: the busy cursor is no step of a session.
    void BeginBusy() override
    {
        ++busyDepth_;
        ++busyScopes_;
    }
    void EndBusy() override { --busyDepth_; }
    int BusyDepth() const { return busyDepth_; }
    int BusyScopes() const { return busyScopes_; }

    // Stopped() turns true at the N-th PosBar or IncPos (from 1).
    void StopAtStep(int n) { stopAt_ = n; }
    int Steps() const { return steps_; }
    int Sessions() const { return sessions_; }
    int Value(int bar) const { return value_[bar - 1]; }
    const QStringList& Log() const { return log_; }
    void ClearLog() { log_.clear(); }

private:
    ScopedProgress install_;
    QStringList log_;
    bool active_ = false;
    bool stopped_ = false;
    int stopAt_ = 0;
    int steps_ = 0;
    int sessions_ = 0;
    int value_[2] = {0, 0};
    int max_[2] = {0, 0};
    int busyDepth_ = 0;
    int busyScopes_ = 0;
};
