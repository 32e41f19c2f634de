#pragma once

// The time base: automatic choice from the UR frequency or the list's item, applied once
// (a one-hot latch remembers the time base in force).

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "ScopeState.h"

namespace osciloskop {

struct TimeBaseRow {
  double upperFrequency;  // the automatic band takes frequencies up to this, in Hz
  int32_t traceStride;
};

// The fixed time bases of list items 1 ... 7, in list order; latch entry = item - 1.
inline constexpr std::array<TimeBaseRow, kTimeBaseCount> kTimeBaseRows = {{
    {30, 6},                                       // 100 msec
    {70, 3},                                       // 50 msec
    {150, 1},                                      // 20 msec
    {250, 1},                                      // 10 msec
    {600, 1},                                      // 5 msec
    {1200, 1},                                     // 2 msec
    {std::numeric_limits<double>::infinity(), 1},  // 1 msec
}};

// The list item of the time base after one frame's choice: from the frequency when the
// choice is automatic (a NaN frequency counts as the lowest band), else the list's item;
// none for an item without a time base.
std::optional<int> ChooseTimeBaseItem(int32_t autoTimeBase, double urFrequency, int listIndex);

// Chooses the time base and applies it unless it is already in force: traceStride and
// latch. Returns true when it applied one; the window must then be cleared.
bool SelectTimeBase(ScopeState& state, int listIndex);

// The name of the time base in force (its list item, trimmed), none before the first one
// is applied.
std::optional<std::string> AppliedTimeBaseName(const ScopeState& state);

}  // namespace osciloskop
