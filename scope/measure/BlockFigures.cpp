#include "BlockFigures.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <numbers>

namespace osciloskop {

namespace {

constexpr int kMaxTransformSize = static_cast<int>(std::bit_ceil(unsigned{kMaxFigureFrames}));

// Shorter blocks are measured without looking for a fundamental.
constexpr int kMinToneFrames = 32;
// A fundamental completes at least this many periods in the block, and lies at least as far
// from half the frame rate.
constexpr double kMinPeriods = 2;
// The spectral line of a fundamental stands this far above the mean of the spectrum (in
// power: 20 dB). The highest bin of white noise alone stands about 10 dB above the mean.
constexpr double kLineOverMean = 100;
// Fundamentals further apart than this share of UL's give no phase.
constexpr double kSameFrequency = 0.01;

constexpr double kTwoPi = 2 * std::numbers::pi;

// One channel's values split out of the block, with what the split counts on the way.
struct ChannelScan {
  double* values;
  int32_t peak = 0;
  int32_t clipped = 0;
  double sum = 0;

  void Take(int n, int32_t value) {
    values[n] = value;
    peak = std::max(peak, value < 0 ? -value : value);
    clipped += value == -32768 || value == 32767;
    sum += value;
  }
};

struct Level {
  double rms = 0, mean = 0;
};

// RMS and mean over the whole periods of a fundamental at `omega` radians per value that
// fit in the values from the first on, or over all values without one. The span usually ends
// inside a value; that value counts with the part of it the span covers.
Level LevelOver(const double* x, int frames, const std::optional<double>& omega) {
  double span = frames;
  if (omega) {
    const double period = kTwoPi / *omega;
    span = std::floor(frames / period) * period;
  }
  if (!(span > 0)) return {};
  const int whole = std::min(frames, static_cast<int>(span));
  double sum = 0, squares = 0;
  for (int n = 0; n < whole; ++n) {
    sum += x[n];
    squares += x[n] * x[n];
  }
  if (whole < frames) {
    const double part = span - whole;
    sum += part * x[whole];
    squares += part * x[whole] * x[whole];
  }
  return {std::sqrt(squares / span), sum / span};
}

// A fit is the channel's fundamental when it stayed within one bin of the spectral line it
// started from, completes at least kMinPeriods periods in the block and lies as far from half
// the frame rate, and its RMS clears the signal floor.
bool IsFundamental(const SineFit& fit, double start, int frames) {
  const double periods = fit.omega * frames / kTwoPi;
  const double rms = std::hypot(fit.parameters.a, fit.parameters.b) / std::numbers::sqrt2;
  return std::abs(fit.omega - start) <= kTwoPi / frames && periods >= kMinPeriods &&
         periods <= frames / 2.0 - kMinPeriods && rms >= kSignalFloorCounts;
}

ChannelFigures Figures(const ChannelScan& scan, int frames, const std::optional<double>& omega,
                       double frameRate, std::optional<double> fullScaleVolts) {
  ChannelFigures figures;
  if (omega) figures.hz = *omega * frameRate / kTwoPi;
  figures.signal = omega.has_value();
  const Level level = LevelOver(scan.values, frames, omega);
  figures.rmsCounts = level.rms;
  figures.dcCounts = level.mean;
  figures.peakCounts = scan.peak;
  figures.clipped = scan.clipped;
  if (level.rms > 0) figures.dBFS = 20 * std::log10(level.rms / kFullScaleSineRms);
  if (fullScaleVolts) figures.rmsVolts = level.rms / kFullScaleSineRms * *fullScaleVolts;
  return figures;
}

}  // namespace

BlockFigureMeter::BlockFigureMeter()
    : ul_(kMaxFigureFrames),
      ur_(kMaxFigureFrames),
      window_(kMaxFigureFrames),
      cosines_(kMaxFigureFrames),
      sines_(kMaxFigureFrames),
      spectrum_(kMaxTransformSize) {}

BlockFigures BlockFigureMeter::Measure(std::span<const int16_t> interleaved, double frameRate,
                                       std::optional<double> fullScaleVolts) {
  const int frames =
      static_cast<int>(std::min(interleaved.size() / 2, static_cast<size_t>(kMaxFigureFrames)));
  ChannelScan ur{ur_.data()}, ul{ul_.data()};
  for (int n = 0; n < frames; ++n) {
    ur.Take(n, interleaved[2 * static_cast<size_t>(n)]);
    ul.Take(n, interleaved[2 * static_cast<size_t>(n) + 1]);
  }

  // Coarse frequencies: the highest line of each channel's spectrum, with a Hann window
  // (1 - cos) / 2 over the block and the mean taken out. The fits weight by the same window.
  std::optional<double> ulStart, urStart;
  if (frames >= kMinToneFrames) {
    const int size = static_cast<int>(std::bit_ceil(static_cast<unsigned>(frames)));
    FillRotation(kTwoPi / frames, -0.5, frames, cosines_.data(), sines_.data());
    const double ulMean = ul.sum / frames, urMean = ur.sum / frames;
    std::complex<double>* input = spectrum_.Input();
    for (int n = 0; n < frames; ++n) {
      window_[n] = 0.5 - 0.5 * cosines_[n];
      input[n] = {window_[n] * (ul_[n] - ulMean), window_[n] * (ur_[n] - urMean)};
    }
    std::fill(input + frames, input + size, std::complex<double>{});
    spectrum_.Transform(size);
    ulStart = CoarseTone(spectrum_.FirstPower(), size, frames);
    urStart = CoarseTone(spectrum_.SecondPower(), size, frames);
  }

  // Each channel's own fit; UR is fitted at UL's frequency too while the tables still hold it.
  std::optional<SineFit> ulFit, urFit;
  std::optional<SineParameters> urAtUlFrequency;
  if (ulStart) ulFit = Fundamental(ul_.data(), *ulStart, frames);
  if (ulFit && urStart)
    urAtUlFrequency =
        FitSineAtFrequency(ur_.data(), window_.data(), cosines_.data(), sines_.data(), frames);
  if (urStart) urFit = Fundamental(ur_.data(), *urStart, frames);

  const auto omegaOf = [](const std::optional<SineFit>& fit) {
    return fit ? std::optional<double>(fit->omega) : std::nullopt;
  };
  BlockFigures figures;
  figures.ul = Figures(ul, frames, omegaOf(ulFit), frameRate, fullScaleVolts);
  figures.ur = Figures(ur, frames, omegaOf(urFit), frameRate, fullScaleVolts);
  if (ulFit && urFit && urAtUlFrequency &&
      std::abs(urFit->omega - ulFit->omega) <= kSameFrequency * ulFit->omega) {
    // Phasors a - i b of both sines at the same frequency and time origin.
    const std::complex<double> ulPhasor(ulFit->parameters.a, -ulFit->parameters.b);
    const std::complex<double> urPhasor(urAtUlFrequency->a, -urAtUlFrequency->b);
    figures.phaseDeg = std::arg(urPhasor * std::conj(ulPhasor)) * 180 / std::numbers::pi;
  }
  if (figures.ul.rmsCounts > 0) figures.ratio = figures.ur.rmsCounts / figures.ul.rmsCounts;
  return figures;
}

std::optional<double> BlockFigureMeter::CoarseTone(const double* power, int size, int frames) {
  const int low = static_cast<int>(std::ceil(kMinPeriods * size / frames));
  const int high = size / 2 - low;
  if (high < low) return std::nullopt;
  int peak = low;
  for (int k = low + 1; k <= high; ++k)
    if (power[k] > power[peak]) peak = k;

  double total = 0;
  for (int k = 1; k <= size / 2; ++k) total += power[k];
  if (!(power[peak] > kLineOverMean * total / (size / 2))) return std::nullopt;

  // The top of the line between bins: a parabola through the logarithms of the three
  // highest bins.
  double offset = 0;
  if (power[peak - 1] > 0 && power[peak + 1] > 0) {
    const double left = std::log(power[peak - 1]), top = std::log(power[peak]),
                 right = std::log(power[peak + 1]);
    const double curvature = left - 2 * top + right;
    if (curvature < 0) offset = std::clamp(0.5 * (left - right) / curvature, -0.5, 0.5);
  }
  return kTwoPi * (peak + offset) / size;
}

std::optional<SineFit> BlockFigureMeter::Fundamental(const double* values, double start,
                                                     int frames) {
  // Each step of the frequency moves it by at most half a bin of the block's spectrum.
  std::optional<SineFit> fit = FitSine(values, window_.data(), frames, start,
                                       std::numbers::pi / frames, cosines_.data(), sines_.data());
  if (fit && !IsFundamental(*fit, start, frames)) fit.reset();
  return fit;
}

}  // namespace osciloskop
