// The state of the decode request in progress that the symbol attempts read: how many symbols
// are wanted, the time budget and the UTF-8 conversion flag. The decode driver owns and sets it.
#pragma once

#include <cstdint>

namespace velmora {

// Milliseconds of a steady clock, as an unsigned 32-bit value that wraps.
uint32_t millisecondClock();

// A request stops when this many milliseconds have passed since it started.
inline constexpr uint32_t timeBudget = 4000;

// Starts a request: wanted count (already clamped to 1..4), conversion flag, start time now.
void beginDecodeRequest(int wanted, bool convertUtf8);

int wantedCount();
bool convertUtf8Requested();

// True when the budget of the request is spent (unsigned 32-bit difference of the clock).
bool budgetSpent();

}  // namespace velmora
