#include "platform/Clock.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <cmath>

namespace {

class SystemClock final : public IClock {
public:
    SystemClock() { timer_.start(); }
    TDateTime Now() override { return FromQDateTime(QDateTime::currentDateTime()); }
    uint32_t TickCount() override { return static_cast<uint32_t>(timer_.elapsed()); }

private:
    QElapsedTimer timer_;
};

IClock* g_clock = nullptr;

IClock& SystemInstance()
{
    static SystemClock clock;
    return clock;
}

} // namespace

IClock& Clock() { return g_clock ? *g_clock : SystemInstance(); }

void SetClock(IClock* clock) { g_clock = clock; }

TDateTime Now() { return Clock().Now(); }

TDateTime Date() { return std::trunc(Clock().Now()); }

TDateTime Time()
{
    const TDateTime n = Clock().Now();
    return n - std::trunc(n);
}

uint32_t GetTickCount() { return Clock().TickCount(); }
