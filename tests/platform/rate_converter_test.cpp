// The rate converter keeps a tone's pitch and level through a change of rate, in both
// directions, however the stream is cut into calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ToneTestSupport.h"
#include "rate/RateConverter.h"

using namespace osciloskop;

namespace {

// Converts the whole of `input` in calls of at most `chunk` frames, then flushes.
std::vector<int16_t> Convert(RateConverter& converter, const std::vector<int16_t>& input,
                             size_t chunk) {
  std::vector<int16_t> output;
  std::vector<int16_t> piece(converter.outputFramesFor(chunk) + 64);
  for (size_t at = 0; at < input.size();) {
    const size_t n = std::min(chunk, input.size() - at);
    const auto moved = converter.process(input.data() + at, n, piece.data(), piece.size());
    output.insert(output.end(), piece.begin(), piece.begin() + moved.outputFrames);
    at += moved.inputFrames;
  }
  for (;;) {
    const auto moved = converter.process(nullptr, 0, piece.data(), piece.size());
    if (moved.outputFrames == 0) break;
    output.insert(output.end(), piece.begin(), piece.begin() + moved.outputFrames);
  }
  return output;
}

struct RateCase {
  double from, to;
  size_t chunk;  // frames per call
};

TEST(RateConverter, KeepsPitchAndLevelInBothDirections) {
  const RateCase cases[] = {
      {48000, 44100, 480},    // a 48 kHz device into the capture blocks
      {44100, 48000, 11000},  // a generator block out to it
      {96000, 44100, 1000},   //
      {44100, 22050, 777},    // odd call sizes
      {8000, 44100, 80},      //
  };
  for (const RateCase& c : cases) {
    std::string error;
    RateConverter converter(c.from, c.to, 1, RateConverter::Input::Int16, &error);
    ASSERT_TRUE(converter.valid()) << error;
    const std::vector<int16_t> input = ToneFrames(c.from, 1000, 10000, size_t(c.from * 2));
    const std::vector<int16_t> output = Convert(converter, input, c.chunk);
    // The stream keeps its length: two seconds in, two seconds out.
    EXPECT_NEAR(double(output.size()), c.to * 2, 2) << c.from << " -> " << c.to;
    // Away from the filter's start and end.
    const size_t from = size_t(c.to * 0.1), to = size_t(c.to * 1.9);
    EXPECT_NEAR(ToneFrequency(output, from, to, c.to), 1000, 1000 * 1e-4)
        << c.from << " -> " << c.to;
    const double expectedRms = ToneRms(input, size_t(c.from * 0.1), size_t(c.from * 1.9));
    EXPECT_NEAR(ToneRms(output, from, to), expectedRms, expectedRms * 1e-3)
        << c.from << " -> " << c.to;
  }
}

TEST(RateConverter, SameInputGivesTheSameOutputAndClipsAreCounted) {
  std::string error;
  const std::vector<int16_t> input = ToneFrames(48000, 440, 32767, 48000);
  RateConverter first(48000, 44100, 1, RateConverter::Input::Int16, &error);
  RateConverter second(48000, 44100, 1, RateConverter::Input::Int16, &error);
  const auto a = Convert(first, input, 4800);
  EXPECT_EQ(a, Convert(second, input, 333));
  // A full-scale tone overshoots 16 bits a little after filtering.
  EXPECT_GT(first.clippedValues(), 0u);
  first.clear();
  EXPECT_EQ(first.clippedValues(), 0u);
  EXPECT_EQ(Convert(first, input, 4800), a);
}

TEST(RateConverter, RefusesImpossibleRates) {
  std::string error;
  RateConverter converter(0, 44100, 2, RateConverter::Input::Int16, &error);
  EXPECT_FALSE(converter.valid());
  EXPECT_FALSE(error.empty());
}

}  // namespace
