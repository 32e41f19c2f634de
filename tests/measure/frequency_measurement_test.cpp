#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "ChannelFields.h"
#include "FrequencyMeasurement.h"
#include "LevelMeasurement.h"
#include "RangeSelection.h"
#include "Trigger.h"
#include "measurement_fixtures.h"

using namespace osciloskop;

namespace {

using Signal = std::function<int32_t(int)>;

// A state holding the block with `signal` on both channels, split into the channel arrays.
std::unique_ptr<ScopeState> MeasuredBlock(const Signal& signal) {
  auto state = StartedState();
  FillBlock(*state, signal, signal);
  MeasureChannelLevel(*state, UlFields(*state));
  MeasureChannelLevel(*state, UrFields(*state));
  state->ulStart = 0;  // as every periodic frame leaves them before the measurement
  state->urStart = 1;
  return state;
}

struct PassCase {
  const char* name;
  Signal signal;
  uint16_t probeStep;
  uint16_t skip;
  uint16_t halfStart;
  uint16_t halfEnd;
};

TEST(FrequencyPassTest, FindsTheHalfWave) {
  const std::vector<PassCase> cases = {
      {"1 kHz coarse", Sine(10000, 1000), 3, 95, 42, 156},
      {"1 kHz fine", Sine(10000, 1000), 1, 5, 44, 68},
      {"50 Hz coarse", Sine(10000, 50), 3, 95, 880, 1325},
      // Square half-waves of 208 values: the edge lies one (fine) or three (coarse) values
      // before the second positive stretch, the end one past its last value.
      {"square coarse", Square(1000, 208), 3, 95, 413, 625},
      {"square fine", Square(1000, 208), 1, 5, 415, 625},
      // No rising edge before index 20000: the half-wave counts skip + 2 values.
      {"silent coarse", Constant(0), 3, 95, 19999, 20096},
      {"silent fine", Constant(0), 1, 5, 19999, 20006},
  };
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const Channel channel : {Channel::UL, Channel::UR}) {
      auto state = MeasuredBlock(c.signal);
      const ChannelFields ch = FieldsOf(*state, channel);
      RunFrequencyPass(*state, ch, c.probeStep, c.skip);
      EXPECT_EQ(ch.halfStart, c.halfStart);
      EXPECT_EQ(ch.halfEnd, c.halfEnd);
      EXPECT_DOUBLE_EQ(ch.measuredFrequency, 22050.0 / (c.halfEnd - c.halfStart));
    }
  }
}

struct ReadoutCase {
  const char* name;
  Signal signal;
  uint16_t fromGenerator;
  int32_t generatorFrequency;
  const char* text;
  bool hidesDisplayLimitWarning;
  double shownFrequency;
};

TEST(MeasureChannelFrequencyTest, ShowsMeasuredOrGeneratorFrequency) {
  const std::vector<ReadoutCase> cases = {
      {"1 kHz sine", Sine(10000, 1000), 0, 100, "  920 Hz", true, 918.75},
      {"50 Hz sine, coarse only", Sine(10000, 50), 0, 100, "    50 Hz", false, 22050.0 / 445},
      // Square half-waves of L values measure 22050 / (L + 2) Hz in the fine pass and
      // 22050 / (L + 4) Hz in the coarse one.
      {"105 Hz, tens rounded to even", Square(1000, 208), 0, 100, "  100 Hz", true, 105},
      {"245 Hz", Square(1000, 88), 0, 100, "  240 Hz", true, 245},
      {"175 Hz", Square(1000, 124), 0, 100, "  180 Hz", true, 175},
      {"99.8 Hz, coarse only", Square(1000, 217), 0, 100, "   100 Hz", false, 22050.0 / 221},
      {"2450 Hz", Square(1000, 7), 0, 100, " 2450 Hz", true, 2450},
      {"2756 Hz above the limit", Square(1000, 6), 0, 100, "  f > fmax", false, 22050.0 / 8},
      {"silent", Constant(0), 0, 100, "  f > fmax", false, 3150},
      {"generator 100 Hz", Sine(10000, 1000), 1, 100, "   100 Hz", false, 100},
      {"generator 101 Hz", Sine(10000, 1000), 1, 101, "  101 Hz", true, 101},
      {"generator 125 Hz, not in tens", Constant(0), 1, 125, "  125 Hz", true, 125},
      {"generator 2500 Hz", Constant(0), 1, 2500, " 2500 Hz", true, 2500},
      {"generator 2600 Hz", Sine(10000, 1000), 1, 2600, "  f > fmax", false, 2600},
  };
  for (const ReadoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const Channel channel : {Channel::UL, Channel::UR}) {
      auto state = MeasuredBlock(c.signal);
      state->frequencyFromGenerator = c.fromGenerator;
      const ChannelFields ch = FieldsOf(*state, channel);
      const FrequencyReadout readout = MeasureChannelFrequency(*state, ch, c.generatorFrequency);
      EXPECT_EQ(readout.text.view(), c.text);
      EXPECT_EQ(readout.hideDisplayLimitWarning, c.hidesDisplayLimitWarning);
      EXPECT_DOUBLE_EQ(ch.frequency, c.shownFrequency);
    }
  }
}

struct ThresholdCase {
  const char* name;
  Channel channel;
  int rangeItem;
  uint16_t halfStart;
  double gainAfter;
};

TEST(FindHalfWaveTest, UrHighVoltageRangesSearchWithAHundredCountThreshold) {
  // The smoothed curve sits at 150 counts and then rises at index 1000: a rising edge only
  // for a threshold of at least 150.
  const Signal signal = [](int k) { return k < 1000 ? 150 : k < 2000 ? 1000 : -1000; };
  const std::vector<ThresholdCase> cases = {
      {"UR 20 V: threshold 100", Channel::UR, kRange20VItem, 19999, 0.005},
      {"UR 50 V: threshold 100", Channel::UR, kRange50VItem, 19999, 0.002},
      {"UL 20 V: threshold 200", Channel::UL, kRange20VItem, 999, 0.005},
      {"UL 50 V: threshold 500", Channel::UL, kRange50VItem, 999, 0.002},
      {"UR 10 V: threshold 100", Channel::UR, 3, 19999, 0.01},
      {"UR 100 mV: threshold 1", Channel::UR, 9, 19999, 1.0},
  };
  for (const ThresholdCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto state = MeasuredBlock(signal);
    const ChannelFields ch = FieldsOf(*state, c.channel);
    ch.autoRange = 0;
    ASSERT_TRUE(SelectRange(ch, c.rangeItem).has_value());
    RunFrequencyPass(*state, ch, 1, 5);
    EXPECT_EQ(ch.halfStart, c.halfStart);
    EXPECT_DOUBLE_EQ(ch.gain, c.gainAfter) << "the range's own gain is back for the trace";
  }
}

struct BoundsCase {
  const char* name;
  int firstPositive;
  uint16_t probeStep;
  uint16_t skip;
  uint16_t halfStart;
  uint16_t halfEnd;
};

TEST(FindHalfWaveTest, SearchesEndAtTheLastEntry) {
  // Channel values positive from `firstPositive` to the array's end: the smoothed curve
  // never returns to zero.
  const std::vector<BoundsCase> cases = {
      {"coarse, no zero after the skip", 1, 3, 95, 19999, 44095},
      {"fine, no zero after the skip", 1, 1, 5, 19999, 44099},
      {"coarse, start beyond 20000", 30000, 3, 95, 44093, 44190},
      {"fine, start beyond 20000", 30000, 1, 5, 44097, 44104},
  };
  for (const BoundsCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto state = StartedState();
    state->sampleCount = kChannelLength;  // the per-channel loops keep inside the arrays
    for (int i = c.firstPositive; i < kChannelLength; ++i) state->ulSamples[i] = 100;
    const ChannelFields ch = UlFields(*state);
    RunFrequencyPass(*state, ch, c.probeStep, c.skip);
    EXPECT_EQ(ch.start, c.firstPositive);
    EXPECT_EQ(ch.halfStart, c.halfStart);
    EXPECT_EQ(ch.halfEnd, c.halfEnd);
  }
}

struct StartSearchCase {
  const char* name;
  Signal signal;
  HalfWaveSign sign;
  bool found;
  uint16_t start;
};

TEST(StartSearchTest, FindsTheFirstValueOfTheSign) {
  const std::vector<StartSearchCase> cases = {
      {"UR sine, first negative", Sine(1000, 100), HalfWaveSign::Negative, true, 221},
      {"UR sine, first positive", Sine(1000, 100), HalfWaveSign::Positive, true, 1},
      {"never negative", Constant(5), HalfWaveSign::Negative, false, 77},
      {"silent", Constant(0), HalfWaveSign::Positive, false, 77},
      {"entry 0 is not examined", [](int k) { return k == 0 ? -9 : 0; }, HalfWaveSign::Negative,
       false, 77},
  };
  for (const StartSearchCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto state = MeasuredBlock(c.signal);
    state->urStart = 77;
    state->urSmoothed.fill(-3);
    // The negative search is the trigger's, the positive one the frequency measurement's.
    EXPECT_EQ(c.sign == HalfWaveSign::Negative ? FindFirstNegativeStartUR(*state)
                                               : FindFirstPositiveStart(*state, UrFields(*state)),
              c.found);
    EXPECT_EQ(state->urStart, c.start);
    EXPECT_EQ(state->urSmoothed[c.start], c.found ? state->urSamples[c.start] : -3);
  }
}

struct FollowerCase {
  const char* name;
  HalfWaveSign sign;
  int start;
  std::vector<int32_t> samples;  // from index start
  std::vector<int32_t> smoothed;
};

TEST(FollowHalfWavesTest, FollowsTheHalfWavesOfItsSign) {
  const std::vector<FollowerCase> cases = {
      {"positive rise",
       HalfWaveSign::Positive,
       1,
       {1000, 1000, 1000, 0, -5},
       {1000, 1000, 1000, 937, 0}},
      {"positive from zero", HalfWaveSign::Positive, 1, {0, 32, 15, 16, 1000}, {0, 2, 2, 2, 64}},
      // The trigger's follower restarts from 0 and reaches -1 only at -16 or below.
      {"negative", HalfWaveSign::Negative, 661, {0, -7, -21, -30, 3}, {0, 0, -1, -2, 0}},
      {"negative decays",
       HalfWaveSign::Negative,
       1,
       {-1000, -16, -16, -16},
       {-1000, -938, -880, -826}},
  };
  for (const FollowerCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto state = StartedState();
    for (std::size_t k = 0; k < c.samples.size(); ++k) {
      state->urSamples[c.start + k] = c.samples[k];
      state->urSmoothed[c.start + k] = 99;
    }
    state->urSmoothed[c.start] = c.smoothed[0];  // as the start search leaves it
    const int count = c.start + static_cast<int>(c.samples.size()) - 1;
    FollowHalfWaves(FollowerArraysOf(UrFields(*state)), c.start, count, 16, c.sign);
    EXPECT_EQ(state->urSmoothed[c.start + 1], 99) << "computed only when read";
    SettleBacklog(FollowerArraysOf(UrFields(*state)));
    for (std::size_t k = 0; k < c.smoothed.size(); ++k)
      EXPECT_EQ(state->urSmoothed[c.start + k], c.smoothed[k]) << "entry " << c.start + k;
    EXPECT_EQ(state->urSmoothed[count + 1], 0) << "nothing past the count";
  }
}

TEST(StartSearchTest, FirstPositiveAtTheLastEntryLeavesNothingToSmooth) {
  auto state = StartedState();
  state->ulSamples[kBlockValues] = 500;
  state->ulSmoothed.fill(9);
  state->ulSmoothed[kBlockValues + 1] = 0;  // a rising edge right after the start
  const ChannelFields ch = UlFields(*state);
  RunFrequencyPass(*state, ch, 1, 5);
  EXPECT_EQ(ch.start, kBlockValues);
  EXPECT_EQ(state->ulSmoothed[kBlockValues], 500);
  EXPECT_EQ(state->ulSmoothed[kBlockValues + 1], 0) << "no smoothing past the count";
  EXPECT_EQ(ch.halfStart, kBlockValues + 1);
}

}  // namespace
