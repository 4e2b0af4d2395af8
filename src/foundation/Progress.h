#pragma once
// The progress sink: long operations (calculation, archive, import, copies)
// report their steps here and poll Stopped() between them. In the program
// the sink is the progress window; headless runs keep a silent one; tests
// install a recorder that can ask to stop at a given step.

#include "foundation/FileFuncs.h"

#include <QString>

class IProgress {
public:
    virtual ~IProgress() = default;

    // Mode 0 starts a session with bar 1 over Min1..Max1 and, unless
    // Min2 = Max2 = 0, bar 2 over Min2..Max2; it raises EAppException
    // "Bars is allready active" while a session runs. Mode 1 gives bar 1 a
    // new range (Min1..Max1), mode 2 bar 2 (Min2..Max2, with two bars).
    virtual void Init(int Mode, int Min1, int Max1, int Min2 = 0, int Max2 = 0) = 0;
    // A bar's current value (1 or 2). Setting bar 1 resets bar 2 to its minimum.
    virtual void PosBar(int Bar, int Value) = 0;
    // Current value + 1.
    virtual void IncPos(int Bar) = 0;
    // Line 0 is the caption, 1 the text above bar 1, 2 the text above bar 2.
    virtual void Mess(int Line, const QString& Text) = 0;
    // Puts the bar at its maximum.
    virtual void FillBar(int Bar) = 0;
    // Lets events run for Ms milliseconds (outside 0..5000: 5000) or until stopped.
    virtual void Wait(int Ms) = 0;
    virtual bool Stopped() const = 0;
    virtual void SetStopped(bool Flag) = 0;
    // A session is running.
    virtual bool Active() const = 0;
    // Ends the session; harmless when none runs.
    virtual void Close() = 0;
    // Work without a window of its own (reading lists, refreshing tables):
    // the window-side sink shows the busy cursor, others ignore it. Pairs
    // nest; use BusyScope.
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;

    void InitBar1(int Min, int Max) { Init(1, Min, Max); }
    void InitBar2(int Min, int Max) { Init(2, 0, 0, Min, Max); }
    void PosBar1(int Value) { PosBar(1, Value); }
    void PosBar2(int Value) { PosBar(2, Value); }
    void IncPos1() { IncPos(1); }
    void IncPos2() { IncPos(2); }
    void Mess1(const QString& Text) { Mess(1, Text); }
    void Mess2(const QString& Text) { Mess(2, Text); }
    void FillBar1() { FillBar(1); }
    void FillBar2() { FillBar(2); }
};

// The current sink (the silent one until a window or a recorder is installed).
IProgress& Progress();
// Installs a sink (not owned); nullptr restores the silent one.
void SetProgress(IProgress* sink);

class ScopedProgress {
public:
    explicit ScopedProgress(IProgress* sink) : previous_(&Progress()) { SetProgress(sink); }
    ~ScopedProgress() { SetProgress(previous_); }
    ScopedProgress(const ScopedProgress&) = delete;
    ScopedProgress& operator=(const ScopedProgress&) = delete;

private:
    IProgress* previous_;
};

// Closes the current sink's session when one is still running (after an
// exception that left it open). Never throws.
void CloseProgressLeftOpen() noexcept;

// The busy cursor for a scope. The end goes to the sink the beginning went
// to, on every way out.
class BusyScope {
public:
    BusyScope() : sink_(Progress()) { sink_.BeginBusy(); }
    ~BusyScope() { sink_.EndBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    IProgress& sink_;
};

// One long operation: starts a session on construction and closes it on
// every way out, an exception included, so that no window stays open and
// no owner stays blocked.
class ProgressSession {
public:
    ProgressSession(int Min1, int Max1, int Min2 = 0, int Max2 = 0);
    ProgressSession(IProgress& sink, int Min1, int Max1, int Min2 = 0, int Max2 = 0);
    ~ProgressSession();
    ProgressSession(const ProgressSession&) = delete;
    ProgressSession& operator=(const ProgressSession&) = delete;

    IProgress& Sink() const { return sink_; }
    IProgress* operator->() const { return &sink_; }
    bool Stopped() const { return sink_.Stopped(); }
    // Raises the silent abort when the clerk asked to stop.
    void CheckStopped() const;

private:
    IProgress& sink_;
};

// The sink of headless runs: keeps the state, shows nothing.
class TSilentProgress final : public IProgress {
public:
    void Init(int Mode, int Min1, int Max1, int Min2 = 0, int Max2 = 0) override;
    void PosBar(int Bar, int Value) override;
    void IncPos(int Bar) override;
    void Mess(int, const QString&) override {}
    void FillBar(int) override {}
    void Wait(int) override {}
    bool Stopped() const override { return stopped_; }
    void SetStopped(bool Flag) override { stopped_ = Flag; }
    bool Active() const override { return active_; }
    void Close() override;
    void BeginBusy() override {}
    void EndBusy() override {}

private:
    bool active_ = false;
    bool stopped_ = false;
    int value_[2] = {0, 0};
};

// One bar of a progress sink as the file copier sees it: the byte range is
// scaled to a range of 0..1000, and the clerk's stop request reads as an
// enabled bar.
class TProgressCopyBar final : public ICopyProgressBar {
public:
    TProgressCopyBar(IProgress& sink, int bar) : sink_(sink), bar_(bar) {}
    void SetRange(int64_t Min, int64_t Max) override;
    void SetPosition(int64_t Position) override;
    bool Enabled() const override { return sink_.Stopped(); }

private:
    IProgress& sink_;
    int bar_;
    int64_t min_ = 0;
    int64_t max_ = 0;
};
