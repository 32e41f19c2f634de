#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ChannelFields.h"
#include "LevelMeasurement.h"
#include "Readouts.h"
#include "measurement_fixtures.h"

using namespace osciloskop;

namespace {

struct LevelCase {
  const char* name;
  std::function<int32_t(int)> ul;
  std::function<int32_t(int)> ur;
  uint16_t ulPeak;
  uint16_t urPeak;
  double ulRms;  // millivolts
  double urRms;
  const char* ulText;
};

TEST(MeasureChannelLevelTest, SplitsPeaksAndRms) {
  const auto onlyFrame = [](int frame, int32_t value) {
    return [=](int k) { return k == frame ? value : 0; };
  };
  const std::vector<LevelCase> cases = {
      {"silent", Constant(0), Constant(0), 0, 0, 0, 0, " 0.0 mV"},
      // Round(10000 sin(2 pi 1000 k / 44100)): half of the channel array holds zeros, so the
      // reading is about A * 0.066424 / 2.
      {"1 kHz sine on UL", Sine(10000, 1000), Constant(0), 10000, 0, 332.12, 0, " 332 mV"},
      // The first value of a frame is UR, the second UL.
      {"channels apart", Constant(-300), Constant(200), 300, 200,
       300 * 0.066424 * std::sqrt(11024.0 / 22050), 200 * 0.066424 * std::sqrt(11024.0 / 22050),
       "14.1 mV"},
      {"most negative value", Constant(0), onlyFrame(5, -32768), 0, 32768, 0,
       32768 * 0.066424 / std::sqrt(22050.0), " 0.0 mV"},
      {"entry 0 is not measured", onlyFrame(0, 30000), onlyFrame(0, -30000), 0, 0, 0, 0, " 0.0 mV"},
  };
  for (const LevelCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto state = StartedState();
    FillBlock(*state, c.ul, c.ur);
    MeasureChannelLevel(*state, UlFields(*state));
    MeasureChannelLevel(*state, UrFields(*state));
    EXPECT_EQ(state->ulPeak, c.ulPeak);
    EXPECT_EQ(state->urPeak, c.urPeak);
    EXPECT_NEAR(state->ulRms, c.ulRms, 0.01);
    EXPECT_NEAR(state->urRms, c.urRms, 0.01);
    EXPECT_EQ(LevelText(state->ulRms).view(), c.ulText);
  }
}

TEST(MeasureChannelLevelTest, ResetsTheProbeAndTheTraceOffset) {
  auto state = StartedState();
  state->ulProbe = {7, 8, 9};
  state->urProbe = {7, 8, 9};
  state->traceOffset = 661;
  MeasureChannelLevel(*state, UlFields(*state));
  EXPECT_EQ(state->ulProbe, (std::array<uint16_t, 3>{0, 0, 9}));
  EXPECT_EQ(state->traceOffset, 661) << "only the UR measurement resets it";
  MeasureChannelLevel(*state, UrFields(*state));
  EXPECT_EQ(state->urProbe, (std::array<uint16_t, 3>{0, 0, 9}));
  EXPECT_EQ(state->traceOffset, 1);
}

TEST(MeasureChannelLevelTest, StartUpCountReadsThePastTheBufferValuesAsZero) {
  // The start-up count 22100 makes the split read 2 x 22100 capture values; the 100 past
  // the buffer's end count as 0 (run this under the sanitizer build).
  auto state = StartedState();
  state->captureBuffer.fill(7);
  state->sampleCount = 22100;
  MeasureChannelLevel(*state, UlFields(*state));
  MeasureChannelLevel(*state, UrFields(*state));
  EXPECT_EQ(state->ulSamples[22049], 7);
  EXPECT_EQ(state->ulSamples[22050], 0);
  EXPECT_EQ(state->urSamples[22049], 7);
  EXPECT_EQ(state->urSamples[22050], 0);
  EXPECT_EQ(state->urSamples[22099], 0);
  EXPECT_NEAR(state->urRms, 7 * 0.066424 * std::sqrt(22049.0 / 22100), 1e-9);
}

TEST(MeasureChannelLevelTest, SumIncludesTheEntryAtTheCountLeftByALargerSplit) {
  // The sum of squares runs over entries 1 ... sampleCount, one past the split's output;
  // after a 22100 split that entry keeps what the larger split wrote.
  auto state = StartedState();
  state->urSamples[kBlockValues] = 1000;
  MeasureChannelLevel(*state, UrFields(*state));
  EXPECT_NEAR(state->urRms, 1000 * 0.066424 / std::sqrt(22050.0), 1e-9);
  EXPECT_EQ(state->urPeak, 0);
}

TEST(MeasureChannelLevelTest, OversizedCountStaysInsideTheArrays) {
  auto state = StartedState();
  state->captureBuffer.fill(-5);
  state->sampleCount = 50000;
  MeasureChannelLevel(*state, UlFields(*state));
  EXPECT_EQ(state->ulPeak, 5);
  EXPECT_EQ(state->ulSamples[kChannelLength - 1], 0);
}

TEST(MeasureChannelLevelTest, RunningSumsEqualTheSumsAccumulatedInDouble) {
  // Full-scale noise with -32768 among it: every entry of the running sums is the sum of
  // the squares of entries 1 ... k in double, whatever the count and the channel.
  for (const int32_t count : {1, 2, 17, 22050, 22100, kChannelLength - 1}) {
    SCOPED_TRACE(count);
    auto state = StartedState();
    std::mt19937 random(static_cast<unsigned>(count));
    std::uniform_int_distribution<int32_t> values(-32768, 32767);
    for (int32_t& v : state->captureBuffer) v = values(random);
    state->captureBuffer[2 * (count / 2) + 1] = -32768;
    state->sampleCount = count;
    for (const Channel channel : {Channel::UL, Channel::UR}) {
      const ChannelFields ch = FieldsOf(*state, channel);
      ch.samples[count] = 32767;  // the entry at the count, left from a larger split
      MeasureChannelLevel(*state, ch);
      double sum = 0;
      int32_t peak = 0;
      for (int i = 1; i <= count; ++i) {
        sum += static_cast<double>(ch.samples[i]) * ch.samples[i];
        ASSERT_EQ(ch.sumSquares[i + 1], sum) << "entry " << i + 1;
        if (i < count) peak = std::max(peak, std::abs(ch.samples[i]));
      }
      EXPECT_EQ(ch.peak, peak);
    }
  }
}

struct RemeasureCase {
  const char* name;
  std::function<void(ScopeState&)> change;  // applied between two measurements
};

// The display measures every block many times. Whatever changed between two measurements,
// the second one gives what a first measurement of the final state gives.
TEST(MeasureChannelLevelTest, RemeasuringGivesWhatAFirstMeasurementGives) {
  const std::vector<RemeasureCase> cases = {
      {"nothing", [](ScopeState&) {}},
      {"a new block of the same count",
       [](ScopeState& s) { FillBlock(s, Sine(3000, 440), Constant(-1200)); }},
      {"the count alone", [](ScopeState& s) { s.sampleCount = 22100; }},
      {"the calibration", [](ScopeState& s) { s.millivoltsPerCount = 0.5; }},
  };
  for (const RemeasureCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto again = StartedState();
    FillBlock(*again, Sine(10000, 1000), Sine(8000, 250));
    for (const Channel channel : {Channel::UL, Channel::UR}) {
      MeasureChannelLevel(*again, FieldsOf(*again, channel));
    }
    c.change(*again);
    auto once = std::make_unique<ScopeState>(*again);
    once->ulBacklog = once->urBacklog = FollowerBacklog{};  // as if never measured
    for (const Channel channel : {Channel::UL, Channel::UR}) {
      SCOPED_TRACE(channel == Channel::UL ? "UL" : "UR");
      const ChannelFields a = FieldsOf(*again, channel);
      const ChannelFields b = FieldsOf(*once, channel);
      MeasureChannelLevel(*again, a);
      MeasureChannelLevel(*once, b);
      EXPECT_EQ(a.samples, b.samples);
      EXPECT_EQ(a.sumSquares, b.sumSquares);
      EXPECT_EQ(a.peak, b.peak);
      EXPECT_EQ(a.rms, b.rms);
    }
  }
}

}  // namespace
