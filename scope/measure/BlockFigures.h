#pragma once

// Figures of one captured block for scripts and reports: the fundamental's exact frequency,
// true RMS, peak, DC, clipping and whether there is a signal at all, per channel; the phase
// and the RMS ratio of the pair. The frequency comes from a coarse spectral estimate refined
// by a least-squares sine fit (frequency, amplitude, phase and offset) weighted by a Hann
// window over the block, the phase from the sine fits of both channels at UL's frequency.

#include <cstdint>
#include <numbers>
#include <optional>
#include <span>
#include <vector>

#include "SineFit.h"
#include "Spectrum.h"

namespace osciloskop {

// The longest block measured: four blocks of 0.25 s at 44100 frames per second.
inline constexpr int kMaxFigureFrames = 4 * 11025;

// The RMS of a full-scale sine (amplitude 32767), the reference of dBFS and of the
// calibration.
inline constexpr double kFullScaleSineRms = 32767 / std::numbers::sqrt2;

// A fundamental found with an RMS below this many counts counts as no signal.
inline constexpr double kSignalFloorCounts = 3;

struct ChannelFigures {
  // The fundamental in Hz; empty when there is no periodic signal.
  std::optional<double> hz;
  // True RMS of the values (DC included) over the whole periods of the fundamental the
  // block holds, or over the whole block without a fundamental; dcCounts is the mean over
  // the same values.
  double rmsCounts = 0;
  double dcCounts = 0;
  // The largest magnitude of a value, 0 ... 32768.
  int32_t peakCounts = 0;
  // 20 log10(rmsCounts / kFullScaleSineRms); empty when rmsCounts is 0.
  std::optional<double> dBFS;
  // rmsCounts in volts at the input: rmsCounts / kFullScaleSineRms times the calibration;
  // empty without one.
  std::optional<double> rmsVolts;
  // Frames whose value is -32768 or 32767.
  int32_t clipped = 0;
  // A fundamental stands clear of the noise: a spectral line at least 20 dB above the
  // mean of the spectrum, a sine fit that converges on it, and a fitted RMS of at least
  // kSignalFloorCounts. Silence and noise alone have none; `hz` is set exactly when this is.
  bool signal = false;
};

struct BlockFigures {
  ChannelFigures ul, ur;
  // Phase of UR relative to UL at UL's fundamental in the middle of the block, in degrees,
  // -180 ... 180, positive when UR leads; empty when a channel has no signal or the
  // fundamentals differ by more than 1 %.
  std::optional<double> phaseDeg;
  // RMS of UR over RMS of UL; empty when UL's RMS is 0.
  std::optional<double> ratio;
};

// Measures blocks one after another; all working memory is taken at construction, so a
// measurement allocates nothing.
class BlockFigureMeter {
 public:
  BlockFigureMeter();

  // `interleaved` holds stereo frames of 16-bit values as the card delivers them: the first
  // value of each frame is UR, the second UL. Frames past kMaxFigureFrames are not measured.
  // `frameRate` (frames per second, above 0) turns the frequencies into Hz. `fullScaleVolts`
  // is the calibration: the RMS voltage at the input that gives a full-scale sine.
  BlockFigures Measure(std::span<const int16_t> interleaved, double frameRate,
                       std::optional<double> fullScaleVolts = std::nullopt);

 private:
  // The fundamental's frequency in radians per frame as the spectrum of `frames` frames
  // padded to `size` points shows it; empty when no line stands clear of the noise.
  std::optional<double> CoarseTone(const double* power, int size, int frames);
  // The sine fit of a channel's values from the coarse frequency `start`, when it finds the
  // fundamental; the tables of cosines and sines are left at the fit's frequency.
  std::optional<SineFit> Fundamental(const double* values, double start, int frames);

  std::vector<double> ul_, ur_, window_, cosines_, sines_;
  TwoChannelSpectrum spectrum_;
};

}  // namespace osciloskop
