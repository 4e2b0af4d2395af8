#include "foundation/Progress.h"
#include "platform/Exceptions.h"

namespace {
TSilentProgress g_silent;
IProgress* g_sink = nullptr;
} // namespace

IProgress& Progress() { return g_sink ? *g_sink : g_silent; }

void SetProgress(IProgress* sink) { g_sink = sink; }

void CloseProgressLeftOpen() noexcept
{
    try {
        if (Progress().Active())
            Progress().Close();
    } catch (...) { // closing must not add a second failure to the first one
    }
}

ProgressSession::ProgressSession(int Min1, int Max1, int Min2, int Max2)
    : ProgressSession(Progress(), Min1, Max1, Min2, Max2)
{
}

ProgressSession::ProgressSession(IProgress& sink, int Min1, int Max1, int Min2, int Max2) : sink_(sink)
{
    sink_.Init(0, Min1, Max1, Min2, Max2);
}

ProgressSession::~ProgressSession()
{
    try {
        sink_.Close();
    } catch (...) {
    }
}

void ProgressSession::CheckStopped() const
{
    if (sink_.Stopped())
        Abort();
}

void TSilentProgress::Init(int Mode, int Min1, int, int Min2, int)
{
    if (Mode == 0) {
        if (active_)
            throw EAppException(QStringLiteral("Bars is allready active"));
        active_ = true;
        stopped_ = false;
        value_[0] = Min1 - 1;
        value_[1] = Min2 - 1;
    } else if (Mode == 1) {
        value_[0] = Min1 - 1;
    } else if (Mode == 2) {
        value_[1] = Min2 - 1;
    }
}

void TSilentProgress::PosBar(int Bar, int Value)
{
    if (Bar == 1 || Bar == 2)
        value_[Bar - 1] = Value;
}

void TSilentProgress::IncPos(int Bar)
{
    if (Bar == 1 || Bar == 2)
        PosBar(Bar, value_[Bar - 1] + 1);
}

void TSilentProgress::Close()
{
    active_ = false;
    stopped_ = false;
}
