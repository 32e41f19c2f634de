// The tone generator without its window: the samples of the sine blocks and the frequency
// slider's arithmetic.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "GeneratorSlider.h"
#include "ToneBlocks.h"
#include "ToneSynthesis.h"

using namespace osciloskop;

namespace {

// The tone worked out independently in double precision: close enough to the extended
// computation to be within one count for any index the stream reaches in years.
double ReferenceSample(int64_t index, int32_t frequency, int32_t amplitude) {
  return std::sin(static_cast<double>(index) / kRate * 3.14159 * 2 * frequency) * amplitude;
}

}  // namespace

TEST(ToneBlock, FollowsTheSineOfTheAbsoluteSampleIndex) {
  struct Case {
    int64_t firstSample;
    int32_t frequency;
    int32_t amplitude;
  };
  const Case cases[] = {
      {0, 100, 10000},
      {kBlockSamples, 100, 10000},
      {0, 1000, 32767},
      {3 * kBlockSamples, 4000, 20000},
      {441000, 1000, 10000},                  // 10 s in: 3.14159 instead of pi has moved the phase
      {(int64_t{1} << 31) - 5, 1000, 32767},  // across the 32-bit index, no jump
      {int64_t{195226} * kBlockSamples, 20000, 32767},
      {int64_t{1} << 40, 17, 5000},
  };
  for (const Case& c : cases) {
    const auto samples = Synthesize(c.firstSample, 16, c.frequency, c.amplitude);
    for (int k = 0; k < 16; ++k) {
      ASSERT_NEAR(samples[k], ReferenceSample(c.firstSample + k, c.frequency, c.amplitude), 1.0)
          << "first sample " << c.firstSample << ", k " << k << ", " << c.frequency << " Hz";
    }
  }
}

// The samples of the output block that follows `blocksFilled` blocks of `sizeBytes`.
std::vector<int16_t> Block(int32_t blocksFilled, int32_t sizeBytes = 2 * kBlockSamples) {
  std::vector<unsigned char> bytes(2 * kBlockSamples);
  FillToneBlock(bytes.data(), sizeBytes, blocksFilled, kRate, 100, 10000);
  std::vector<int16_t> samples(sizeBytes / 2);
  for (size_t k = 0; k < samples.size(); ++k)
    samples[k] = static_cast<int16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
  return samples;
}

TEST(ToneBlock, BlocksFollowEachOtherWithoutAJump) {
  const auto whole = Synthesize(0, 2 * kBlockSamples, 100, 10000);
  const auto first = Block(0);
  const auto second = Block(1);
  EXPECT_EQ(first[0], 0);  // phase 0, rising
  EXPECT_GT(first[1], 0);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), whole.begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), whole.begin() + kBlockSamples));

  // After 195226 blocks the first sample's index no longer fits in 32 bits.
  for (const int32_t blocks : {195225, 195226, 195227}) {
    const int64_t firstSample = int64_t{blocks} * kBlockSamples;
    const auto block = Block(blocks);
    EXPECT_EQ(block, Synthesize(firstSample, kBlockSamples, 100, 10000)) << blocks;
  }
  // A block of 1000 bytes (or 1001: half a sample is not written) holds 500 samples; the
  // one after three such blocks starts at sample 1500.
  for (const int32_t size : {1000, 1001})
    EXPECT_EQ(Block(3, size), Synthesize(1500, 500, 100, 10000));
}

TEST(ToneBlock, AmplitudeBoundsTheSamples) {
  struct Case {
    int32_t amplitude;
    int lowest;
    int highest;
  };
  for (const Case c : {Case{0, 0, 0}, Case{1, -1, 1}, Case{32767, -32767, 32767}}) {
    const auto samples = Synthesize(0, kBlockSamples, 1000, c.amplitude);
    const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
    EXPECT_EQ(*low, c.lowest) << c.amplitude;
    EXPECT_EQ(*high, c.highest) << c.amplitude;
  }
}

TEST(ToneBlock, WritesLittleEndianSamplesAndNothingBeyondTheCount) {
  // A quarter of the rate: the samples run 0, +peak, 0, -peak.
  std::vector<unsigned char> block(22000, 0xAA);
  SynthesizeToneBlock(block.data(), 500, 0, kRate, kRate / 4, 32767);
  EXPECT_EQ(block[2], 0xFF);
  EXPECT_EQ(block[3], 0x7F);  // +32767
  EXPECT_EQ(block[6], 0x01);
  EXPECT_EQ(block[7], 0x80);  // -32767
  EXPECT_TRUE(
      std::all_of(block.begin() + 1000, block.end(), [](unsigned char b) { return b == 0xAA; }));
}

TEST(FrequencySlider, PositionGivesFrequencyReadoutStepsAndWarning) {
  struct Case {
    int32_t position;
    int32_t frequency;
    const char* text;
    int32_t largeChange;
    bool warning;
  };
  const Case cases[] = {
      {10, 10, " 10 Hz", 10, false},
      {100, 100, " 100 Hz", 100, false},
      {999, 999, " 999 Hz", 100, false},
      {1000, 1000, " 1.0 kHz", 1000, false},
      {1049, 1000, " 1.0 kHz", 1000, false},
      {1050, 1000, " 1.0 kHz", 1000, false},  // 10.5 hundreds and 1.05 kHz: halves to even
      {1051, 1100, " 1.0 kHz", 1000, false},
      {1150, 1200, " 1.2 kHz", 1000, false},
      {1250, 1200, " 1.2 kHz", 1000, false},
      {2500, 2500, " 2.5 kHz", 1000, false},
      {2549, 2500, " 2.6 kHz", 1000, false},  // the readout rounds twice
      {2550, 2600, " 2.6 kHz", 1000, true},
      {4000, 4000, " 4.0 kHz", 1000, true},
      {20000, 20000, " 20.0 kHz", 1000, true},
  };
  for (const Case& c : cases) {
    const auto setting = FrequencyForSliderPosition(c.position);
    ASSERT_TRUE(setting) << c.position;
    EXPECT_EQ(setting->frequency, c.frequency) << c.position;
    EXPECT_EQ(setting->text, c.text) << c.position;
    EXPECT_EQ(setting->largeChange, c.largeChange) << c.position;
    EXPECT_EQ(setting->smallChange, c.largeChange == 1000 ? 100 : 1) << c.position;
    EXPECT_EQ(ExceedsDisplayLimit(setting->frequency), c.warning) << c.position;
  }
  EXPECT_FALSE(FrequencyForSliderPosition(20001));
}
