#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "ChannelFields.h"
#include "FrequencyMeasurement.h"
#include "LevelMeasurement.h"
#include "Trigger.h"
#include "measurement_fixtures.h"

using namespace osciloskop;

// The follower computes its entries only as the searches read them. These tests run the
// measurement frames of a block sequence twice, once as the program does and once with every
// follower run computed in full right after each step, and require the same results: the
// searches of later frames and blocks may read entries an earlier run never computed (past a
// smaller count, or at a start the next run leaves alone).

namespace {

using Values = std::function<int32_t(int)>;  // interleaved capture value at an index

struct Block {
  Values values;
  int32_t count;
  int frames;             // display frames run on the block
  bool measureUr = true;  // false: UR's range is off, only the trigger reads UR
  bool follow = true;     // false: the frames only split the block, no follower runs
};

// The split reads twice the count from captureBuffer: the whole buffer is written, so that
// every channel value may change with the block.
void HandOff(ScopeState& state, const Block& block) {
  state.sampleCount = block.count;
  for (int i = 0; i < kChannelLength; ++i) state.captureBuffer[i] = block.values(i);
  ++state.captureGeneration;
}

void SettleAll(ScopeState& state) {
  SettleBacklog(FollowerArraysOf(UlFields(state)));
  SettleBacklog(FollowerArraysOf(UrFields(state)));
}

void ExpectSameSearches(const ScopeState& lazy, const ScopeState& full) {
  EXPECT_EQ(lazy.ulStart, full.ulStart);
  EXPECT_EQ(lazy.urStart, full.urStart);
  EXPECT_EQ(lazy.ulProbe, full.ulProbe);
  EXPECT_EQ(lazy.urProbe, full.urProbe);
  EXPECT_EQ(lazy.ulHalfStart, full.ulHalfStart);
  EXPECT_EQ(lazy.ulHalfEnd, full.ulHalfEnd);
  EXPECT_EQ(lazy.urHalfStart, full.urHalfStart);
  EXPECT_EQ(lazy.urHalfEnd, full.urHalfEnd);
  EXPECT_EQ(lazy.ulMeasuredFrequency, full.ulMeasuredFrequency);
  EXPECT_EQ(lazy.urMeasuredFrequency, full.urMeasuredFrequency);
  EXPECT_EQ(lazy.traceOffset, full.traceOffset);
}

// The measurement steps of one display frame; `eager` computes every follower run in full.
void RunFrame(ScopeState& state, const Block& block, bool eager) {
  const auto step = [&](auto&& action) {
    action();
    if (eager) SettleAll(state);
  };
  state.urStart = 1;
  for (const ChannelFields& ch : {UlFields(state), UrFields(state)}) {
    if (ch.channel == Channel::UR && !block.measureUr) continue;
    step([&] { MeasureChannelLevel(state, ch); });
    if (!block.follow) continue;
    step([&] { RunFrequencyPass(state, ch, 3, 95); });
    step([&] { RunFrequencyPass(state, ch, 1, 5); });
  }
  if (!block.follow) return;
  state.ulStart = 0;
  step([&] { FindFirstNegativeStartUR(state); });
  step([&] { FindTraceOffset(state); });
}

void ExpectLazyAsFull(const std::vector<Block>& blocks) {
  auto lazy = StartedState();
  auto full = StartedState();
  int frame = 0;
  for (const Block& block : blocks) {
    HandOff(*lazy, block);
    HandOff(*full, block);
    for (int k = 0; k < block.frames; ++k, ++frame) {
      SCOPED_TRACE(testing::Message() << "frame " << frame);
      RunFrame(*lazy, block, false);
      RunFrame(*full, block, true);
      ExpectSameSearches(*lazy, *full);
      // Nothing the lazy runs left out differs once they are computed.
      auto settled = std::make_unique<ScopeState>(*lazy);
      SettleAll(*settled);
      EXPECT_EQ(settled->ulSmoothed, full->ulSmoothed);
      EXPECT_EQ(settled->urSmoothed, full->urSmoothed);
    }
  }
}

// Both channels carry the same signal of frame index k.
Values Stereo(const std::function<int32_t(int)>& signal) {
  return [=](int i) { return signal(i / 2); };
}

Values Noise(unsigned seed, int32_t amplitude, int32_t offset) {
  auto values = std::make_shared<std::vector<int32_t>>(kChannelLength);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int32_t> spread(-amplitude, amplitude);
  for (int32_t& v : *values) v = std::clamp(offset + spread(random), -32768, 32767);
  return [=](int i) { return (*values)[i]; };
}

struct SequenceCase {
  const char* name;
  std::vector<Block> blocks;
};

TEST(HalfWaveFollowerTest, LazyRunsReadWhatFullRunsRead) {
  const Values sine = Stereo(Sine(10000, 1000));
  const Values slowSine = Stereo(Sine(20000, 20));
  const Values positive = Stereo(Constant(700));
  const Values negative = Stereo(Constant(-700));
  const Values silence = Stereo(Constant(0));
  const std::vector<SequenceCase> cases = {
      {"start-up count, then standard blocks",
       {{sine, 22100, 2}, {positive, 22050, 2}, {sine, 22050, 1}}},
      // A positive signal lets the end search run to the array's end, through the entries
      // the previous block's runs left out past the new count.
      {"smaller counts read past their end",
       {{sine, 22100, 1}, {positive, 21000, 1}, {slowSine, 44100, 1}, {positive, 300, 2}}},
      {"no start found: the runs continue from the previous start",
       {{sine, 22050, 1}, {negative, 22050, 2}, {silence, 100, 1}, {slowSine, 22050, 1}}},
      // UR keeps its values while its range is off; the trigger's follower runs on them
      // with each block's count.
      {"trigger alone with changing counts",
       {{slowSine, 22100, 1},
        {positive, 1000, 1, false},
        {slowSine, 44100, 1},
        {negative, 30, 1, false}}},
      {"same block, frames back to back", {{slowSine, 22050, 3}, {Noise(3, 9000, 0), 22050, 3}}},
      // The runs of the first block are still owed when the next blocks replace the values
      // they were started on.
      {"blocks split with no run between",
       {{sine, 22050, 1},
        {Noise(7, 9000, 0), 22050, 1, true, false},
        {positive, 21000, 1, true, false},
        {slowSine, 22050, 1}}},
      {"noise with offsets and changing counts",
       {{Noise(1, 300, 250), 22100, 1},
        {Noise(2, 5000, -4000), 17, 1},
        {Noise(4, 2000, 1990), 30000, 2},
        {Noise(5, 20000, 0), 20010, 1},
        {Noise(6, 100, 90), 20500, 1}}},
  };
  for (const SequenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectLazyAsFull(c.blocks);
  }
}

TEST(HalfWaveFollowerTest, RandomBlockSequences) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int32_t> counts(0, kChannelLength);
  std::uniform_int_distribution<int32_t> amplitudes(0, 20000);
  std::uniform_int_distribution<int32_t> frames(1, 2);
  for (int sequence = 0; sequence < 4; ++sequence) {
    SCOPED_TRACE(testing::Message() << "sequence " << sequence);
    std::vector<Block> blocks;
    for (int b = 0; b < 4; ++b) {
      const int32_t amplitude = amplitudes(random);
      blocks.push_back(
          {Noise(random(), amplitude, amplitudes(random) - 10000), counts(random), frames(random)});
    }
    ExpectLazyAsFull(blocks);
  }
}

}  // namespace
