#include "foundation/Progress.h"
#include "platform/Exceptions.h"

#include <algorithm>

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

namespace {
constexpr int kCopyScale = 1000;
}

void TProgressCopyBar::SetRange(int64_t Min, int64_t Max)
{
    min_ = Min;
    max_ = std::max(Min, Max);
    if (bar_ == 1)
        sink_.Init(1, 0, kCopyScale);
    else
        sink_.Init(2, 0, 0, 0, kCopyScale);
}

void TProgressCopyBar::SetPosition(int64_t Position)
{
    const int64_t span = max_ - min_;
    const int64_t done = std::clamp<int64_t>(Position - min_, 0, span);
    sink_.PosBar(bar_, span > 0 ? static_cast<int>(done * kCopyScale / span) : kCopyScale);
}
