#pragma once
// The clock seam: today, now and the millisecond tick count come from here,
// so that tests can pin them.

#include "platform/DateTime.h"

#include <cstdint>

class IClock {
public:
    virtual ~IClock() = default;
    virtual TDateTime Now() = 0;
    // Milliseconds since an arbitrary start; wraps at 2^32 like the old tick count.
    virtual uint32_t TickCount() = 0;
};

IClock& Clock();
// Installs a clock (not owned); nullptr restores the real one.
void SetClock(IClock* clock);

TDateTime Now();
TDateTime Date();
TDateTime Time();
uint32_t GetTickCount();
