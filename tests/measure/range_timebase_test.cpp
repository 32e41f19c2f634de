#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ChannelFields.h"
#include "ListItems.h"
#include "RangeSelection.h"
#include "TimeBase.h"
#include "measurement_fixtures.h"

using namespace osciloskop;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct AutoRangeCase {
  uint16_t peak;
  const char* range;
};

TEST(RangeSelectionTest, AutomaticBandsIncludeTheirLowerEdge) {
  const std::vector<AutoRangeCase> cases = {
      {0, "10 mV"},     {449, "10 mV"},    {450, "20 mV"},   {899, "20 mV"},   {900, "50 mV"},
      {2249, "50 mV"},  {2250, "100 mV"},  {4499, "100 mV"}, {4500, "200 mV"}, {8999, "200 mV"},
      {9000, "500 mV"}, {22499, "500 mV"}, {22500, "1 V"},   {32768, "1 V"},   {65535, "1 V"},
  };
  for (const AutoRangeCase& c : cases) {
    for (const Channel channel : {Channel::UL, Channel::UR}) {
      SCOPED_TRACE(testing::Message() << "peak " << c.peak << " channel " << int(channel));
      auto state = StartedState();
      const ChannelFields ch = FieldsOf(*state, channel);
      ch.peak = c.peak;
      EXPECT_TRUE(SelectRange(ch, kRangeAutomaticItem).has_value());
      EXPECT_EQ(AppliedRangeName(*state, channel), c.range);
    }
  }
}

TEST(RangeSelectionTest, EveryListItemHasItsOwnLatch) {
  for (const Channel channel : {Channel::UL, Channel::UR}) {
    auto state = StartedState();
    const ChannelFields ch = FieldsOf(*state, channel);
    ch.autoRange = 0;
    for (int item = 1; item <= kRangeCount; ++item) {
      ASSERT_TRUE(SelectRange(ch, item).has_value()) << item;
      const char* const* items =
          channel == Channel::UL ? kUlRangeItems.data() : kUrRangeItems.data();
      EXPECT_EQ(AppliedRangeName(*state, channel), TrimmedItem(items[item]));
      int set = 0;
      for (const int32_t flag : ch.rangeApplied) set += flag;
      EXPECT_EQ(set, 1) << "one-hot";
    }
  }
  // The frequency search recognises the UR 20 V and 50 V ranges by these latch entries.
  EXPECT_EQ(RangeRowOfItem(kRange20VItem).latchEntry, 10);
  EXPECT_EQ(RangeRowOfItem(kRange50VItem).latchEntry, 11);
}

TEST(RangeSelectionTest, ItemsWithoutARangeChangeNothing) {
  auto state = StartedState();
  const ChannelFields ch = UrFields(*state);
  ch.autoRange = 0;
  for (const int item : {kRangeAutomaticItem, kUrRangeOffItem, -1, 14}) {
    EXPECT_FALSE(SelectRange(ch, item).has_value()) << item;
  }
  EXPECT_EQ(AppliedRangeName(*state, Channel::UR), std::nullopt);
  EXPECT_DOUBLE_EQ(ch.gain, 1.0);
  EXPECT_DOUBLE_EQ(ch.divisionValue, 10.0);
}

struct RangeFrame {
  int32_t autoRange;
  uint16_t peak;
  int listIndex;
  bool clears;
};

TEST(RangeSelectionTest, AppliesOnlyAChangeAndEveryChange) {
  // Frame by frame: a peak crossing a band edge changes the range every time (no
  // hysteresis); choosing by hand the range in force changes nothing.
  const std::vector<RangeFrame> frames = {
      {1, 449, 0, true}, {1, 449, 0, false}, {1, 450, 0, true},   {1, 449, 0, true},
      {1, 450, 0, true}, {1, 899, 0, false}, {1, 30000, 0, true}, {0, 30000, 6, false},
      {0, 0, 6, false},  {0, 0, 13, false},  {0, 0, 2, true},     {1, 30000, 0, true},
  };
  auto state = StartedState();
  const ChannelFields ch = UrFields(*state);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    ch.autoRange = frames[f].autoRange;
    ch.peak = frames[f].peak;
    EXPECT_EQ(SelectRange(ch, frames[f].listIndex).has_value(), frames[f].clears) << "frame " << f;
  }
}

struct TimeBaseCase {
  double frequency;
  const char* timeBase;
  int32_t traceStride;
};

TEST(TimeBaseTest, AutomaticBandsIncludeTheirUpperEdge) {
  const std::vector<TimeBaseCase> cases = {
      {kNaN, "100 msec", 6}, {-5, "100 msec", 6}, {0, "100 msec", 6},     {30, "100 msec", 6},
      {30.5, "50 msec", 3},  {70, "50 msec", 3},  {70.001, "20 msec", 1}, {150, "20 msec", 1},
      {150.5, "10 msec", 1}, {250, "10 msec", 1}, {250.5, "5 msec", 1},   {600, "5 msec", 1},
      {600.5, "2 msec", 1},  {1200, "2 msec", 1}, {1200.5, "1 msec", 1},  {kInfinity, "1 msec", 1},
  };
  for (const TimeBaseCase& c : cases) {
    SCOPED_TRACE(c.frequency);
    auto state = StartedState();
    state->urFrequency = c.frequency;
    state->traceStride = 0;
    EXPECT_TRUE(SelectTimeBase(*state, kTimeBaseGeneratorItem));
    EXPECT_EQ(AppliedTimeBaseName(*state), c.timeBase);
    EXPECT_EQ(state->traceStride, c.traceStride);
  }
}

struct TimeBaseFrame {
  int32_t autoTimeBase;
  double frequency;
  int listIndex;
  bool clears;
  int32_t traceStride;
};

TEST(TimeBaseTest, AppliesOnlyAChangeAndEveryChange) {
  const std::vector<TimeBaseFrame> frames = {
      {1, 100, 8, true, 1},  // start: the generator's 100 Hz gives 20 msec
      {1, 100, 8, false, 1}, {1, 30, 0, true, 6},   {1, 30.5, 0, true, 3},
      {1, 30, 0, true, 6},   {1, 30.5, 0, true, 3}, {1, 70, 0, false, 3},
      {1, 100, 0, true, 1},  {0, 100, 3, false, 1},  // by hand, the same time base
      {0, 100, 4, true, 1},  // 10 msec: the window clears, the stride stays 1
      {0, 100, 0, false, 1}, {0, 100, 8, false, 1}, {0, 5, 1, true, 6},
  };
  auto state = StartedState();
  for (std::size_t f = 0; f < frames.size(); ++f) {
    state->autoTimeBase = frames[f].autoTimeBase;
    state->urFrequency = frames[f].frequency;
    EXPECT_EQ(SelectTimeBase(*state, frames[f].listIndex), frames[f].clears) << "frame " << f;
    EXPECT_EQ(state->traceStride, frames[f].traceStride) << "frame " << f;
  }
}

TEST(AppliedNamesTest, NoneBeforeTheFirstFrame) {
  auto state = StartedState();
  EXPECT_EQ(AppliedTimeBaseName(*state), std::nullopt);
  EXPECT_EQ(AppliedRangeName(*state, Channel::UL), std::nullopt);
  EXPECT_EQ(AppliedRangeName(*state, Channel::UR), std::nullopt);
  SelectRange(UrFields(*state), 0);
  EXPECT_EQ(AppliedRangeName(*state, Channel::UR), "10 mV");
  EXPECT_EQ(AppliedRangeName(*state, Channel::UL), std::nullopt) << "the latches are per channel";
}

}  // namespace
