#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "AllocationCount.h"
#include "Canvas.h"
#include "FrequencyMeasurement.h"
#include "Graticule.h"
#include "ScopeState.h"
#include "ScreenPixels.h"
#include "Trace.h"
#include "Trigger.h"

using namespace osciloskop;

namespace {

using namespace screen_pixels;

constexpr QRgb kGrey = qRgb(100, 100, 100);
constexpr QRgb kYellow = qRgb(255, 255, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr int kClientWidth = 800;
constexpr int kClientHeight = 526;
constexpr int kBlockFrames = 11025;  // channel entries a standard block fills

QImage BlackScreen(int height = kClientHeight) {
  return BlackImage(kClientWidth, height);
}

// The state a display frame finds after start-up and a standard block: gains and scales
// of the 100 mV range, stride 1.
ScopeState FrameState() {
  ScopeState state;
  state.sampleCount = 22050;
  state.traceScaleX = state.traceScaleY = 0.062923;
  state.ulGain = state.urGain = 1.0;
  state.ulDivisionValue = state.urDivisionValue = 10.0;
  state.traceStride = 1;
  state.urSmoothing = 16;
  return state;
}

void FillSine(SampleArray& samples, double amplitude, double frequency, double phase = 0) {
  samples.fill(0);
  for (int i = 0; i < kBlockFrames; ++i) {
    samples[i] = static_cast<int32_t>(
        std::nearbyint(amplitude * std::sin(2 * M_PI * frequency * i / 44100 + phase)));
  }
}

// What a periodic frame draws once the measurement has run: grid, scale, trigger, trace.
void DrawFrame(Canvas& canvas, ScopeState& state, int clientHeight = kClientHeight) {
  state.urStart = 1;
  DrawGraticule(canvas, clientHeight);
  DrawScaleLabels(canvas, state, clientHeight);
  FindFirstNegativeStartUR(state);
  DrawTrace(canvas, state, clientHeight);
}

struct GridPixel {
  int x;
  int dy;  // from the grid's centre line
  QRgb color;
};

class Grid : public ::testing::TestWithParam<int> {};

// Grid lines at 20 px divisions, their end points not painted, the gaps around the axes
// and the axes themselves free of grid, around the truncated half of the client height.
TEST_P(Grid, PixelsAtKnownCoordinates) {
  const int height = GetParam();
  QImage image = BlackScreen(height);
  Canvas canvas(image);
  DrawGraticule(canvas, height);
  const int cy = height / 2;
  const GridPixel expected[] = {
      {200, -20, kGrey},  {379, -20, kGrey},   {385, -20, kBlack}, {409, -20, kBlack},
      {410, -20, kGrey},  {599, -20, kGrey},   {200, 200, kGrey},  {199, 200, kBlack},
      {200, 201, kBlack}, {200, -201, kBlack}, {420, -200, kGrey}, {600, -200, kBlack},
      {600, -199, kGrey}, {380, -4, kGrey},    {380, -3, kBlack},  {380, 15, kBlack},
      {380, 16, kGrey},   {380, 200, kGrey},   {220, 100, kGrey},  {230, 100, kGrey},
      {230, 110, kBlack}, {601, 40, kBlack},
  };
  for (const GridPixel& p : expected) {
    EXPECT_EQ(image.pixel(p.x, cy + p.dy), p.color) << p.x << ", cy" << p.dy;
  }
  for (int x = 0; x < kClientWidth; ++x) EXPECT_EQ(image.pixel(x, cy), kBlack) << x;
  for (int y = 0; y < height; ++y) EXPECT_EQ(image.pixel(400, y), kBlack) << y;
  EXPECT_EQ(canvas.PenColor(), kGrey);
}

INSTANTIATE_TEST_SUITE_P(ClientHeights, Grid, ::testing::Values(526, 525, 480));

// Yellow ticks on both axes out to 220 px with their end points not painted; the UL
// numbers in yellow at (390 -/+ 40 k, cy + 2) and the UR numbers in white at (370, y - 7),
// the same unsigned numbers on both sides of the centre.
TEST(Scale, TicksAndNumbers) {
  ScopeState state = FrameState();
  state.ulDivisionValue = 0.5;
  state.urDivisionValue = 50.0;
  QImage image = BlackScreen();
  Canvas canvas(image);
  DrawScaleLabels(canvas, state, kClientHeight);
  const int cy = kClientHeight / 2;
  const GridPixel ticks[] = {
      {404, -2, kYellow},  {404, 1, kYellow},  {404, -3, kBlack},   {420, -4, kYellow},
      {420, 3, kYellow},   {420, -5, kBlack},  {620, 0, kYellow},   {180, 0, kYellow},
      {624, 0, kBlack},    {176, 0, kBlack},   {400, 0, kYellow},   {398, -4, kYellow},
      {401, -4, kYellow},  {402, -4, kBlack},  {397, -4, kBlack},   {396, -20, kYellow},
      {403, -20, kYellow}, {404, -20, kBlack}, {398, 220, kYellow}, {398, -224, kBlack},
  };
  for (const GridPixel& p : ticks) {
    EXPECT_EQ(image.pixel(p.x, cy + p.dy), p.color) << p.x << ", cy" << p.dy;
  }
  EXPECT_EQ(canvas.PenColor(), kWhite);
  EXPECT_EQ(canvas.FontColor(), kWhite);

  QImage reference = BlackScreen();
  Canvas expected(reference);
  expected.SetFontColor(kYellow);
  const char* xTexts[] = {"1.0", "2.0", "3.0", "4.0", "5.0"};
  for (int k = 1; k <= 5; ++k) {
    for (const int x : {390 - 40 * k, 390 + 40 * k}) expected.TextOut(x, cy + 2, xTexts[k - 1]);
  }
  expected.SetFontColor(kWhite);
  const char* yTexts[] = {"  0", " 50", "100", "150", "200", "250",
                          "300", "350", "400", "450", "500"};
  for (int k = 0; k <= 10; ++k) {
    for (const int y : {cy - 20 * k, cy + 20 * k}) expected.TextOut(370, y - 7, yTexts[k]);
  }
  EXPECT_EQ(PixelsOf(image, kWhite), PixelsOf(reference, kWhite));
  // Below the horizontal ticks and beside the vertical ones every yellow pixel is a number's.
  for (const QRect beside : {QRect(0, cy + 5, 396, 20), QRect(405, cy + 5, 395, 20)}) {
    const std::vector<Pixel> numbers = PixelsOf(reference.copy(beside), kYellow);
    EXPECT_FALSE(numbers.empty());
    EXPECT_EQ(PixelsOf(image.copy(beside), kYellow), numbers);
  }
}

struct ScaleNumbers {
  double divisionValue;
  std::vector<std::string> x;  // k = 1 .. 5
  std::vector<std::string> y;  // k = 0, 1, 2 and 10
};

class ScaleNumberText : public ::testing::TestWithParam<ScaleNumbers> {};

TEST_P(ScaleNumberText, ForEveryDivisionValue) {
  const ScaleNumbers row = GetParam();
  ScaleText text;
  const double value = row.divisionValue;
  for (int k = 1; k <= 5; ++k) {
    EXPECT_EQ(FormatScaleNumber(k * value * 2, kScaleFieldX, value, text), row.x[k - 1]);
  }
  const int ys[] = {0, 1, 2, 10};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(FormatScaleNumber(ys[i] * value, kScaleFieldY, value, text), row.y[i]);
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(DivisionValues, ScaleNumberText, ::testing::Values(
    ScaleNumbers{1.0, {" 2", " 4", " 6", " 8", "10"}, {"  0", "  1", "  2", " 10"}},
    ScaleNumbers{2.0, {" 4", " 8", "12", "16", "20"}, {"  0", "  2", "  4", " 20"}},
    ScaleNumbers{5.0, {"10", "20", "30", "40", "50"}, {"  0", "  5", " 10", " 50"}},
    ScaleNumbers{10.0, {"20", "40", "60", "80", "100"}, {"  0", " 10", " 20", "100"}},
    ScaleNumbers{20.0, {"40", "80", "120", "160", "200"}, {"  0", " 20", " 40", "200"}},
    ScaleNumbers{50.0, {"100", "200", "300", "400", "500"}, {"  0", " 50", "100", "500"}},
    ScaleNumbers{0.1, {"0.2", "0.4", "0.6", "0.8", "1.0"}, {"0.0", "0.1", "0.2", "1.0"}},
    ScaleNumbers{0.2, {"0.4", "0.8", "1.2", "1.6", "2.0"}, {"0.0", "0.2", "0.4", "2.0"}},
    ScaleNumbers{0.5, {"1.0", "2.0", "3.0", "4.0", "5.0"}, {"0.0", "0.5", "1.0", "5.0"}}));
// clang-format on

struct TriggerCase {
  const char* name;
  void (*fill)(SampleArray& ur);
  int sampleCount;
  int expectedStart;  // -1: not checked
  int expectedOffset;
};

class Trigger : public ::testing::TestWithParam<TriggerCase> {};

TEST_P(Trigger, FindsTheOffset) {
  const TriggerCase c = GetParam();
  ScopeState state = FrameState();
  state.sampleCount = c.sampleCount;
  c.fill(state.urSamples);
  state.urStart = 1;
  FindFirstNegativeStartUR(state);
  FindTraceOffset(state);
  if (c.expectedStart >= 0) {
    EXPECT_EQ(state.urStart, c.expectedStart);
  }
  EXPECT_EQ(state.traceOffset, c.expectedOffset);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Signals, Trigger, ::testing::Values(
    // The second negative half-wave starts -7 (follower 0), -21 (follower -1).
    TriggerCase{"Sine1000", [](SampleArray& ur) { FillSine(ur, 1000, 100); }, 22050, 221, 661},
    // Never reaches -16: the follower stays 0, no crossing.
    TriggerCase{"Sine10", [](SampleArray& ur) { FillSine(ur, 10, 100); }, 22050, -1, 19998},
    TriggerCase{"Silence", [](SampleArray& ur) { ur.fill(0); }, 22050, 1, 19998},
    TriggerCase{"SilenceBeforeTheFirstBlock", [](SampleArray& ur) { ur.fill(0); }, 22100, 1, 19998},
    TriggerCase{"NeverNegative", [](SampleArray& ur) {
      FillSine(ur, 1000, 100);
      for (int32_t& x : ur) x = std::abs(x);
    }, 22050, 1, 19998},
    // +500 for 100 entries, -500 for 100: the second negative run starts at 300.
    TriggerCase{"Square", [](SampleArray& ur) {
      for (int i = 0; i < kBlockFrames; ++i) ur[i] = i / 100 % 2 ? -500 : 500;
    }, 22050, 100, 298},
    // The first negative value lies beyond the search: nothing is searched.
    TriggerCase{"FirstNegativeBeyondTheSearch", [](SampleArray& ur) {
      ur.fill(0);
      for (int i = 20000; i < 22100; ++i) ur[i] = i % 50 < 25 ? -800 : 800;
    }, 22100, 20000, 19998}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct MappingCase {
  const char* name;
  double scale;
  double gain;
  int clientHeight;
  int32_t u;
  int32_t v;
  ScreenPoint expected;
};

class Mapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(Mapping, MapsToTheNearestPixelHalvesToEven) {
  const MappingCase c = GetParam();
  ScopeState state = FrameState();
  state.traceScaleX = state.traceScaleY = c.scale;
  state.ulGain = state.urGain = c.gain;
  EXPECT_EQ(TraceMapping(state, c.clientHeight).Map(c.u, c.v), c.expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Points, Mapping, ::testing::Values(
    MappingCase{"Centre", 0.062923, 1, 526, 0, 0, {400, 263}},
    MappingCase{"PositiveRightAndBelow", 0.062923, 1, 526, 1000, 1000, {463, 326}},
    MappingCase{"NegativeLeftAndAbove", 0.062923, 1, 526, -1000, -1000, {337, 200}},
    MappingCase{"GainApplies", 0.062923, 10, 526, 100, -100, {463, 200}},
    MappingCase{"OddHeightCentreHalfBelow", 0.062923, 1, 525, 0, 0, {400, 262}},
    MappingCase{"OddHeightHalfToEvenUp", 0.5, 1, 525, 1, 2, {400, 264}},
    MappingCase{"OddHeightHalfToEvenDown", 0.5, 1, 525, 3, -2, {402, 262}},
    MappingCase{"NegativeHalves", 0.5, 1, 526, -1, -3, {400, 262}},
    MappingCase{"NegativeHalvesOdd", 0.5, 1, 526, -3, -1, {398, 262}},
    MappingCase{"FullScaleIn10mV", 0.062923, 10, 526, 32767, -32768, {21018, -20356}},
    MappingCase{"BeyondAnyRange", 0.062923, 1e9, 526, INT32_MAX, INT32_MIN, {1000000000, -1000000000}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Before any block has arrived the figure is the single point at the centre.
TEST(Trace, SilentFrameIsTheCentrePoint) {
  for (const int height : {526, 525}) {
    QImage image = BlackScreen(height);
    Canvas canvas(image);
    ScopeState state = FrameState();
    state.sampleCount = 22100;
    DrawFrame(canvas, state, height);
    EXPECT_EQ(PixelsOf(image, kAqua), (std::vector<Pixel>{{400, height == 526 ? 263 : 262}}));
    EXPECT_EQ(canvas.PenColor(), kAqua);
  }
}

// Identical signals draw a 45 degree line from the upper left to the lower right.
TEST(Trace, IdenticalChannelsDrawTheDiagonal) {
  QImage image = BlackScreen();
  Canvas canvas(image);
  ScopeState state = FrameState();
  FillSine(state.urSamples, 1000, 100);
  state.ulSamples = state.urSamples;
  DrawFrame(canvas, state);
  const std::vector<Pixel> aqua = PixelsOf(image, kAqua);
  ASSERT_GT(aqua.size(), 100u);
  for (const Pixel& p : aqua) EXPECT_EQ(p.x - 400, p.y - 263) << p.x << "," << p.y;
  EXPECT_GT(std::count_if(aqua.begin(), aqua.end(), [](const Pixel& p) { return p.x > 400; }), 50);
}

// Over many frames of a changing signal each frame's black segments remove what the frame
// before drew (the stored values, centre and gains match): after a silent frame nothing of
// the traces is left but the centre point.
TEST(Trace, EraseLeavesNoResidue) {
  for (const int height : {526, 525}) {
    QImage image = BlackScreen(height);
    Canvas canvas(image);
    ScopeState state = FrameState();
    std::mt19937 random(3);
    std::uniform_real_distribution<double> amplitude(200, 4000), frequency(40, 900), phase(0, 6);
    std::normal_distribution<double> noise(0, 60);
    for (int frame = 0; frame < 100; ++frame) {
      FillSine(state.urSamples, amplitude(random), frequency(random), phase(random));
      FillSine(state.ulSamples, amplitude(random), frequency(random), phase(random));
      for (int i = 0; i < kBlockFrames; ++i) state.ulSamples[i] += std::lround(noise(random));
      DrawFrame(canvas, state, height);
    }
    state.ulSamples.fill(0);
    state.urSamples.fill(0);
    DrawFrame(canvas, state, height);
    EXPECT_EQ(PixelsOf(image, kAqua), (std::vector<Pixel>{{400, height / 2}}));
  }
}

// A full-scale signal in the 10 mV range lies far outside the screen: only what crosses
// the image is painted, nothing outside it, and it is erased as exactly.
TEST(Trace, FarOffScreenTraceIsClipped) {
  GuardedImage guarded(kClientWidth, kClientHeight);
  Canvas canvas(guarded.Image());
  ScopeState state = FrameState();
  state.ulGain = state.urGain = 10.0;
  for (int i = 0; i < kBlockFrames; ++i) {
    state.urSamples[i] = i / 40 % 2 ? -32768 : 32767;
    state.ulSamples[i] = i / 55 % 2 ? 32767 : -32768;
  }
  DrawFrame(canvas, state);
  EXPECT_GT(PixelsOf(guarded.Image(), kAqua).size(), 100u);
  state.ulSamples.fill(0);
  state.urSamples.fill(0);
  DrawFrame(canvas, state);
  EXPECT_EQ(PixelsOf(guarded.Image(), kAqua), (std::vector<Pixel>{{400, 263}}));
  EXPECT_TRUE(guarded.GuardIntact());
}

// Once the scale texts have been drawn once, a whole frame allocates nothing.
TEST(Trace, WarmFrameAllocatesNothing) {
  if (!kAllocationsCounted) GTEST_SKIP() << "allocations are not counted here";
  QImage image = BlackScreen();
  Canvas canvas(image);
  ScopeState state = FrameState();
  FillSine(state.urSamples, 3000, 1000);
  FillSine(state.ulSamples, 3000, 1000, 1.0);
  DrawFrame(canvas, state);
  StartCountingAllocations();
  for (int frame = 0; frame < 5; ++frame) DrawFrame(canvas, state);
  EXPECT_EQ(StopCountingAllocations(), 0);
}

}  // namespace
