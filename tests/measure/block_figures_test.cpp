#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "AllocationCount.h"
#include "BlockFigures.h"

using namespace osciloskop;

namespace {

constexpr double kPi = std::numbers::pi;
// A sine of this amplitude is 0 dBFS.
constexpr double kFullScaleAmplitude = 32767;
// The generator's start-up tone: 100 Hz synthesised with pi taken as 3.14159.
constexpr double kStartUpToneHz = 100 * 3.14159 / kPi;

double AmplitudeAt(double dBFS) {
  return kFullScaleAmplitude * std::pow(10, dBFS / 20);
}

double WrapDegrees(double degrees) {
  return std::remainder(degrees, 360.0);
}

enum class Shape { None, Sine, Square };

// One channel of a generated block: dc + amplitude * wave(2 pi hz t + phase) + white
// Gaussian noise, rounded and limited to 16 bits.
struct ChannelSignal {
  Shape shape = Shape::None;
  double hz = 0;
  double amplitude = 0;
  double phaseDeg = 0;
  double dc = 0;
  double noiseRms = 0;

  double TrueRms() const {
    const double wave = shape == Shape::Sine     ? amplitude / std::numbers::sqrt2
                        : shape == Shape::Square ? amplitude
                                                 : 0;
    return std::sqrt(dc * dc + wave * wave + noiseRms * noiseRms);
  }
};

ChannelSignal SineWithNoise(double hz, double dBFS, double phaseDeg) {
  const double amplitude = AmplitudeAt(dBFS);
  // White noise 40 dB below the sine.
  return {Shape::Sine, hz, amplitude, phaseDeg, 0, amplitude / std::numbers::sqrt2 / 100};
}

ChannelSignal Noise(double rms) {
  return {Shape::None, 0, 0, 0, 0, rms};
}

struct Case {
  ChannelSignal ul, ur;
  double rate = 44100;
  int frames = 11025;
};

struct Block {
  std::vector<int16_t> values;  // UR, UL, UR, UL, ...
  int32_t ulClipped = 0, urClipped = 0;
};

Block Generate(const Case& c, unsigned seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> gauss;
  Block block;
  block.values.resize(2 * static_cast<size_t>(c.frames));
  for (int n = 0; n < c.frames; ++n) {
    for (int channel = 0; channel < 2; ++channel) {
      const ChannelSignal& s = channel == 0 ? c.ur : c.ul;
      double cycles = std::fmod(s.hz * n / c.rate + s.phaseDeg / 360, 1.0);
      if (cycles < 0) cycles += 1;
      double value = s.dc + s.noiseRms * gauss(random);
      if (s.shape == Shape::Sine) value += s.amplitude * std::sin(2 * kPi * cycles);
      if (s.shape == Shape::Square) value += cycles < 0.5 ? s.amplitude : -s.amplitude;
      const double rounded = std::nearbyint(value);
      if (rounded >= 32767 || rounded <= -32768)
        ++(channel == 0 ? block.urClipped : block.ulClipped);
      block.values[2 * static_cast<size_t>(n) + static_cast<size_t>(channel)] =
          static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0));
    }
  }
  return block;
}

// Limits of one row; an empty one is not checked. The DC limit is one count plus this many
// standard errors of the mean of the noise.
struct Tolerances {
  std::optional<double> hzShare, rmsShare, phaseDeg, dcNoiseErrors;
};

struct Row {
  const char* name;
  std::vector<Case> cases;
  Tolerances tolerances;
};

std::vector<Case> SineSweep() {
  const double hz[] = {20, 21.7, kStartUpToneHz, 440, 1234.5, 3000.7, 7777.7, 10000};
  const double phases[] = {-170, -90, -30, 0, 45, 90, 135, 179};
  const double levels[] = {-40, -20, -6, -1};
  std::vector<Case> cases;
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 8; ++j) {
      // Where the block cuts the wave moves from case to case.
      const double start = 37.0 * j + 11.0 * i;
      cases.push_back({SineWithNoise(hz[i], levels[(i + j) % 4], start),
                       SineWithNoise(hz[i], levels[(i + j + 1) % 4], start + phases[j])});
    }
  }
  return cases;
}

std::vector<Case> OtherRatesAndLengths() {
  std::vector<Case> cases;
  for (const auto& [rate, frames] : {std::pair{48000.0, 12000}, std::pair{96000.0, 44100},
                                     std::pair{44100.0, 44100}, std::pair{44100.0, 2205}}) {
    for (const double hz : {97.3, 1000.0, 0.2 * rate}) {
      cases.push_back({SineWithNoise(hz, -12, 10), SineWithNoise(hz, -3, -75), rate, frames});
    }
  }
  return cases;
}

std::vector<Case> Squares() {
  std::vector<Case> cases;
  for (const double hz : {20.0, 21.7, kStartUpToneHz, 440.0, 1234.5, 3000.7, 7777.7, 10000.0}) {
    ChannelSignal square{Shape::Square, hz, AmplitudeAt(-6), 30, 0, AmplitudeAt(-46)};
    cases.push_back({square, square});
  }
  return cases;
}

std::vector<Case> ClippedSines() {
  std::vector<Case> cases;
  for (const double overdrive : {1.01, 1.2, 2.0}) {
    for (const double hz : {63.1, 1000.0}) {
      const ChannelSignal clipped{Shape::Sine, hz, overdrive * kFullScaleAmplitude, 20};
      cases.push_back({clipped, SineWithNoise(hz, -10, 80)});
      cases.push_back({SineWithNoise(hz, -10, 80), clipped});
    }
  }
  return cases;
}

std::vector<Case> DcOffsets() {
  std::vector<Case> cases;
  for (const double hz : {20.0, 440.0, 5000.0}) {
    ChannelSignal ul = SineWithNoise(hz, -20, 0), ur = SineWithNoise(hz, -20, -60);
    ul.dc = 8000;
    ur.dc = -12000;
    cases.push_back({ul, ur});
  }
  return cases;
}

std::vector<Case> NoSignal() {
  return {
      {Noise(0), Noise(0)},
      {Noise(2.5), Noise(3)},
      {Noise(100), Noise(0)},
      {Noise(2000), Noise(7000)},
      {Noise(0), SineWithNoise(440, -20, 0)},
      {SineWithNoise(440, -20, 0), Noise(50)},
      // Fundamentals 2 % apart give no phase; 0.2 % apart they do.
      {SineWithNoise(1000, -10, 0), SineWithNoise(1020, -10, 0)},
      {SineWithNoise(1000, -10, 0), SineWithNoise(1002, -10, 30)},
  };
}

struct Worst {
  double hz = 0, rms = 0, phase = 0, dc = 0;
};

void CheckChannel(const char* name, const ChannelSignal& signal, int frames, int32_t clipped,
                  const ChannelFigures& figures, const Tolerances& tolerances, double calibration,
                  Worst& worst) {
  SCOPED_TRACE(name);
  const bool periodic = signal.shape != Shape::None;
  EXPECT_EQ(figures.signal, periodic);
  EXPECT_EQ(figures.hz.has_value(), periodic);
  EXPECT_EQ(figures.clipped, clipped);
  if (periodic && figures.hz && tolerances.hzShare) {
    const double error = std::abs(*figures.hz / signal.hz - 1);
    EXPECT_LE(error, *tolerances.hzShare);
    worst.hz = std::max(worst.hz, error);
  }
  const double rms = signal.TrueRms();
  if (tolerances.rmsShare) {
    const double error = rms > 0 ? std::abs(figures.rmsCounts / rms - 1) : figures.rmsCounts;
    EXPECT_LE(error, *tolerances.rmsShare);
    worst.rms = std::max(worst.rms, error);
    if (rms > 0) {
      ASSERT_TRUE(figures.dBFS && figures.rmsVolts);
      EXPECT_NEAR(*figures.dBFS, 20 * std::log10(rms * std::numbers::sqrt2 / kFullScaleAmplitude),
                  8.7 * *tolerances.rmsShare);
      EXPECT_NEAR(*figures.rmsVolts / calibration, rms * std::numbers::sqrt2 / kFullScaleAmplitude,
                  *tolerances.rmsShare * rms * std::numbers::sqrt2 / kFullScaleAmplitude);
    } else {
      EXPECT_FALSE(figures.dBFS);
    }
  }
  if (tolerances.dcNoiseErrors) {
    const double error = std::abs(figures.dcCounts - signal.dc);
    EXPECT_LE(error, 1 + *tolerances.dcNoiseErrors * signal.noiseRms / std::sqrt(frames));
    worst.dc = std::max(worst.dc, error);
  }
}

TEST(BlockFiguresTest, AccuracyOnGeneratedSignals) {
  const std::vector<Row> rows = {
      {"sine 20 Hz-10 kHz, -40..-1 dBFS", SineSweep(), {1e-4, 1e-3, 0.5, 5.0}},
      {"sine, other rates and lengths", OtherRatesAndLengths(), {1e-4, 1e-3, 0.5, 5.0}},
      // Harmonics of the square that fold back near its fundamental move the fundamental's
      // phase by up to a degree or two, depending on the frequency.
      {"square wave", Squares(), {5e-4, 1e-3, std::nullopt, std::nullopt}},
      {"clipped sine", ClippedSines(), {1e-4, std::nullopt, 0.5, std::nullopt}},
      {"DC offset", DcOffsets(), {1e-4, 1e-3, 0.5, 5.0}},
      {"no signal, frequencies apart", NoSignal(), {1e-4, 0.03, 0.5, std::nullopt}},
  };
  constexpr double kCalibration = 1.7;  // volts RMS of a full-scale sine
  BlockFigureMeter meter;
  unsigned seed = 1;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Worst worst;
    double worstRatio = 0;
    for (size_t i = 0; i < row.cases.size(); ++i) {
      const Case& c = row.cases[i];
      SCOPED_TRACE("case " + std::to_string(i));
      const Block block = Generate(c, seed++);
      const BlockFigures figures = meter.Measure(block.values, c.rate, kCalibration);
      CheckChannel("UL", c.ul, c.frames, block.ulClipped, figures.ul, row.tolerances, kCalibration,
                   worst);
      CheckChannel("UR", c.ur, c.frames, block.urClipped, figures.ur, row.tolerances, kCalibration,
                   worst);

      const bool samePeriod = c.ul.shape != Shape::None && c.ur.shape != Shape::None &&
                              std::abs(c.ur.hz - c.ul.hz) <= 0.01 * c.ul.hz;
      EXPECT_EQ(figures.phaseDeg.has_value(), samePeriod);
      if (samePeriod && figures.phaseDeg && row.tolerances.phaseDeg) {
        // The phases as they stand in the middle of the block.
        const double middle = (c.frames - 1) / 2.0 / c.rate;
        const double expected = c.ur.phaseDeg - c.ul.phaseDeg + 360 * (c.ur.hz - c.ul.hz) * middle;
        const double error = std::abs(WrapDegrees(*figures.phaseDeg - expected));
        EXPECT_LE(error, *row.tolerances.phaseDeg);
        worst.phase = std::max(worst.phase, error);
      }
      EXPECT_EQ(figures.ratio.has_value(), figures.ul.rmsCounts > 0);
      if (figures.ratio && row.tolerances.rmsShare && c.ul.TrueRms() > 0) {
        const double expected = c.ur.TrueRms() / c.ul.TrueRms();
        const double error = std::abs(*figures.ratio - expected) / std::max(expected, 1e-9);
        EXPECT_LE(error, 2 * *row.tolerances.rmsShare);
        worstRatio = std::max(worstRatio, error);
      }
    }
    std::printf("%-32s %3zu blocks: hz %.1e  rms %.1e  ratio %.1e  phase %.4f deg  dc %.2f\n",
                row.name, row.cases.size(), worst.hz, worst.rms, worstRatio, worst.phase, worst.dc);
  }
}

TEST(BlockFiguresTest, PhaseAndGainOfTheSimulatedRcLoopback) {
  // UR: the start-up tone as the line output plays it; UL: the same values through the
  // simulated card's one-pole low-pass y += alpha (x - y) with its 100 Hz corner.
  constexpr double kRate = 44100, kCorner = 100, kAmplitude = 10000;
  const double alpha = 1 - std::exp(-2 * kPi * kCorner / kRate);
  const int warmUp = 4410, frames = 11025;
  std::vector<int16_t> block(2 * frames);
  double state = 0;
  for (int n = 0; n < warmUp + frames; ++n) {
    const double played =
        std::nearbyint(kAmplitude * std::sin(2 * kPi * kStartUpToneHz * n / kRate));
    state = n == 0 ? played : state + alpha * (played - state);
    if (n >= warmUp) {
      block[2 * static_cast<size_t>(n - warmUp)] = static_cast<int16_t>(played);
      block[2 * static_cast<size_t>(n - warmUp) + 1] = static_cast<int16_t>(std::lround(state));
    }
  }
  // H(z) = alpha / (1 - (1 - alpha) z^-1) at the tone: UL = H UR.
  const std::complex<double> z = std::polar(1.0, 2 * kPi * kStartUpToneHz / kRate);
  const std::complex<double> response = alpha / (1.0 - (1 - alpha) / z);
  const double urLeadDeg = -std::arg(response) * 180 / kPi;
  ASSERT_NEAR(urLeadDeg, 44.59, 0.005);
  ASSERT_NEAR(std::abs(response), 0.7071, 0.0001);

  BlockFigureMeter meter;
  const BlockFigures figures = meter.Measure(block, kRate);
  ASSERT_TRUE(figures.phaseDeg && figures.ratio && figures.ul.hz && figures.ur.hz);
  EXPECT_NEAR(*figures.phaseDeg, urLeadDeg, 0.01);
  EXPECT_NEAR(*figures.ratio, 1 / std::abs(response), 1e-4);
  EXPECT_NEAR(*figures.ul.hz, kStartUpToneHz, 1e-4);
  EXPECT_NEAR(*figures.ur.hz, kStartUpToneHz, 1e-4);
}

TEST(BlockFiguresTest, BlocksTooShortForTwoPeriodsHaveNoFundamental) {
  struct ShortCase {
    int frames;
    double hz;
  };
  // No frames, fewer than the spectrum needs, 1.5 periods, 1.9 periods.
  const ShortCase cases[] = {{0, 1000}, {20, 5000}, {1000, 66.15}, {2205, 38}};
  BlockFigureMeter meter;
  for (const ShortCase& c : cases) {
    SCOPED_TRACE(c.frames);
    const ChannelSignal sine{Shape::Sine, c.hz, 10000, 30};
    const Block block = Generate({sine, sine, 44100, c.frames}, 3);
    const BlockFigures figures = meter.Measure(block.values, 44100);
    EXPECT_FALSE(figures.ul.hz || figures.ul.signal || figures.phaseDeg);
    // Without a fundamental the RMS is that of the whole block.
    double squares = 0;
    for (int n = 0; n < c.frames; ++n) squares += std::pow(block.values[2 * n + 1], 2);
    EXPECT_NEAR(figures.ul.rmsCounts, c.frames ? std::sqrt(squares / c.frames) : 0, 1e-9);
  }
}

TEST(BlockFiguresTest, MeasuringAllocatesNothing) {
  if (!kAllocationsCounted) GTEST_SKIP() << "allocations are not counted here";
  BlockFigureMeter meter;
  const Block block = Generate({SineWithNoise(440, -6, 0), SineWithNoise(440, -6, 90)}, 7);
  StartCountingAllocations();
  const BlockFigures figures = meter.Measure(block.values, 44100, 1.0);
  EXPECT_EQ(StopCountingAllocations(), 0);
  EXPECT_TRUE(figures.phaseDeg);
}

}  // namespace
