#pragma once

// The voltage ranges of a channel: automatic choice from the peak or the list's item, and
// applying a range once (a one-hot latch per channel remembers the range in force).

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ChannelFields.h"
#include "ScopeState.h"

namespace osciloskop {

struct RangeRow {
  int latchEntry;        // entry in ulRangeApplied / urRangeApplied
  double divisionValue;  // value of one division, in the captions' unit
  double gain;           // deflection gain of the trace
  bool volts;            // captions "+ V" / "- V" instead of "+mV" / "-mV"
};

// The fixed ranges of list items 1 ... 12, in list order.
inline constexpr std::array<RangeRow, kRangeCount> kRangeRows = {{
    {11, 5.0, 0.002, true},  // 50 V
    {10, 2.0, 0.005, true},  // 20 V
    {9, 1.0, 0.01, true},    // 10 V
    {8, 0.5, 0.02, true},    // 5 V
    {7, 0.2, 0.05, true},    // 2 V
    {6, 0.1, 0.1, true},     // 1 V
    {5, 50.0, 0.2, false},   // 500 mV
    {4, 20.0, 0.5, false},   // 200 mV
    {3, 10.0, 1.0, false},   // 100 mV
    {0, 5.0, 2.0, false},    // 50 mV
    {1, 2.0, 5.0, false},    // 20 mV
    {2, 1.0, 10.0, false},   // 10 mV
}};
inline constexpr int kRange50VItem = 1;
inline constexpr int kRange20VItem = 2;

inline constexpr const RangeRow& RangeRowOfItem(int item) {
  return kRangeRows[item - 1];
}

// The list item of the range in force after one frame's choice: from the peak when the
// channel is automatic, else the list's item; none for an item without a range.
std::optional<int> ChooseRangeItem(int32_t autoRange, uint16_t peak, int listIndex);

struct RangeCaptions {
  const char* plus;
  const char* minus;
};

// Chooses the channel's range and applies it unless it is already in force: division
// value, gain and latch. Returns the captions to write when it applied a range (the
// window must then be cleared), nothing otherwise.
std::optional<RangeCaptions> SelectRange(const ChannelFields& channel, int listIndex);

// The name of the channel's range in force (its list item, trimmed), none before the
// first range is applied.
std::optional<std::string> AppliedRangeName(const ScopeState& state, Channel channel);

}  // namespace osciloskop
