// The state of the decode request in progress that the symbol attempts read: how many symbols
// are wanted, the time budget and the UTF-8 conversion flag. The decode driver owns and sets it.
#pragma once

#include <cstdint>

namespace velmora {

// Milliseconds of a steady clock, as an unsigned 32-bit value that wraps.
uint32_t millisecondClock();

// A request stops when this many milliseconds have passed since it started, unless the budget
// is set otherwise.
inline constexpr uint32_t kDefaultTimeBudget = 4000;

// Sets the budget of the requests that follow; 0 lifts it. Tests lift it so that what they read
// does not depend on the machine's load.
void setTimeBudget(uint32_t milliseconds);
uint32_t timeBudget();

// Starts a request: wanted count (already clamped to 1..4), conversion flag, start time now.
void beginDecodeRequest(int wanted, bool convertUtf8);

int wantedCount();

// Raises the wanted count of the request in progress (1 to 256), its clock running on.
void widenDecodeRequest(int wanted);
bool convertUtf8Requested();

// True when the budget of the request is spent (unsigned 32-bit difference of the clock); never
// with the budget lifted.
bool budgetSpent();

}  // namespace velmora
