#include "RangeSelection.h"

#include "ListItems.h"

namespace osciloskop {

namespace {

struct AutomaticBand {
  uint16_t upperPeak;  // the band takes peaks below this
  int item;
};

// The automatic choice uses the seven ranges from 10 mV to 1 V, tested from the smallest;
// the 1 V range takes every peak above the last band.
constexpr std::array<AutomaticBand, 6> kAutomaticBands = {{
    {450, 12},   // 10 mV
    {900, 11},   // 20 mV
    {2250, 10},  // 50 mV
    {4500, 9},   // 100 mV
    {9000, 8},   // 200 mV
    {22500, 7},  // 500 mV
}};
constexpr int kLargestAutomaticItem = 6;  // 1 V

bool IsRangeItem(int item) {
  return item >= 1 && item <= kRangeCount;
}

}  // namespace

std::optional<int> ChooseRangeItem(int32_t autoRange, uint16_t peak, int listIndex) {
  if (autoRange == 1) {
    for (const AutomaticBand& band : kAutomaticBands)
      if (peak < band.upperPeak) return band.item;
    return kLargestAutomaticItem;
  }
  if (IsRangeItem(listIndex)) return listIndex;
  return std::nullopt;
}

std::optional<RangeCaptions> SelectRange(const ChannelFields& ch, int listIndex) {
  const std::optional<int> item = ChooseRangeItem(ch.autoRange, ch.peak, listIndex);
  if (!item) return std::nullopt;
  const RangeRow& row = RangeRowOfItem(*item);
  if (ch.rangeApplied[row.latchEntry] == 1) return std::nullopt;

  ch.divisionValue = row.divisionValue;
  ch.gain = row.gain;
  ch.rangeApplied.fill(0);
  ch.rangeApplied[row.latchEntry] = 1;
  return row.volts ? RangeCaptions{"+ V", "- V"} : RangeCaptions{"+mV", "-mV"};
}

std::optional<std::string> AppliedRangeName(const ScopeState& state, Channel channel) {
  const RangeLatch& latch = channel == Channel::UL ? state.ulRangeApplied : state.urRangeApplied;
  for (int item = 1; item <= kRangeCount; ++item) {
    if (latch[RangeRowOfItem(item).latchEntry] == 1)
      return TrimmedItem(channel == Channel::UL ? kUlRangeItems[item] : kUrRangeItems[item]);
  }
  return std::nullopt;
}

}  // namespace osciloskop
