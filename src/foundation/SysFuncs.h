#pragma once
// Letting pending events run during long work, and the system's error text.

#include <QString>
#include <cstdint>

// Runs pending events when at least Interval ms passed since LastTick (or the
// tick count wrapped), then sets LastTick to now. Ticks come from the clock.
void ProcessMessagesEvery(uint32_t& LastTick, uint32_t Interval);
// The system's text for the last error (errno), or for the given code.
QString GetLastErrorText();
QString GetLastErrorText(int Code);
