#include "Instrument.h"

#include <algorithm>

#include "DisplayLimit.h"
#include "FrequencyMeasurement.h"
#include "HalfWaveFollower.h"
#include "LevelMeasurement.h"
#include "RangeSelection.h"
#include "TimeBase.h"
#include "ToneGenerator.h"
#include "Trigger.h"

namespace osciloskop {

namespace {

// The block length the display starts with and that "optimum" restores.
constexpr int32_t kStartSampleCount = 22100;

ReadoutText TextOf(const char* text) {
  ReadoutText readout;
  readout.Append("%s", text);
  return readout;
}

}  // namespace

Instrument::Instrument(const ToneGenerator& generator)
    : generator_(generator),
      // What the readouts show before the first frame writes them.
      readouts_{TextOf("465 mA"), TextOf("12760 Hz"), TextOf("532.2 mV"), TextOf("12760 Hz"),
                TextOf("Edit11")},
      ulCaptions_{"mA", "mA"},
      urCaptions_{"+mV", "-mV"} {
  state_.sampleCount = kStartSampleCount;
  state_.traceScaleX = state_.traceScaleY = 0.062923;
  state_.millivoltsPerCount = 0.066424;
  state_.urDivisionValue = 10.0;
  state_.urGain = 1.0;
  state_.ulDivisionValue = 10.0;
  state_.ulGain = 1.0;
  state_.periodicDisplay = 1;
  state_.traceStride = 6;
  state_.urSmoothing = kFollowerSmoothing;
  state_.ulSmoothing = kFollowerSmoothing;
  state_.ulAutoRange = 1;
  state_.urAutoRange = 1;
  state_.ulFrequency = state_.urFrequency = 40.0;
  TimeBaseChosen();
}

std::span<const int16_t> Instrument::TakeBlock(std::span<const int16_t> interleaved) {
  // The capture arrays hold 44100 values: a block larger than that (never the configured
  // one) is cut there rather than written past the arrays.
  state_.sampleCount = static_cast<int32_t>(
      std::min<size_t>(interleaved.size(), static_cast<size_t>(kChannelLength)));
  const std::span<const int16_t> taken = interleaved.first(static_cast<size_t>(state_.sampleCount));
  std::copy(taken.begin(), taken.end(), state_.captureBuffer.begin());
  ++state_.captureGeneration;
  ++blocksTaken_;
  if (meter_) figures_ = meter_->Measure(taken, kCaptureRate, fullScaleVolts_);
  return taken;
}

void Instrument::MeasureBlockFigures(std::optional<double> fullScaleVolts) {
  if (!meter_) meter_.emplace();
  fullScaleVolts_ = fullScaleVolts;
}

bool Instrument::StartPass() {
  state_.urStart = 1;
  if (PeriodicDisplay()) return true;
  MeasureLevelUL();
  MeasureFrequency(Channel::UL);
  MeasureLevelUR();
  MeasureFrequency(Channel::UR);
  return false;
}

FrameOutcome Instrument::DisplayFrame() {
  FrameOutcome outcome;
  MeasureLevelUL();
  outcome.ulRangeApplied = ApplyRange(Channel::UL);
  MeasureFrequency(Channel::UL);
  if (items_.urRange != kUrRangeOffItem) {
    MeasureLevelUR();
    outcome.urRangeApplied = ApplyRange(Channel::UR);
    MeasureFrequency(Channel::UR);
  }
  outcome.timeBaseApplied = SelectTimeBase(state_, items_.timeBase);
  // The next frame's UL frequency search starts from 0 when its block has no positive value.
  state_.ulStart = 0;
  FindFirstNegativeStartUR(state_);
  FindTraceOffset(state_);
  return outcome;
}

void Instrument::MeasureLevelUL() {
  MeasureChannelLevel(state_, UlFields(state_));
  // urPeak is the one the previous UR measurement left.
  readouts_.peakDiagnostic = PeakDiagnosticText(state_.ulPeak, state_.urPeak);
  readouts_.ulLevel = LevelText(state_.ulRms);
}

void Instrument::MeasureLevelUR() {
  MeasureChannelLevel(state_, UrFields(state_));
  readouts_.overRangeWarning = OverloadWarningShown(state_.urPeak);
  readouts_.urLevel = LevelText(state_.urRms);
}

void Instrument::MeasureFrequency(Channel channel) {
  const bool ul = channel == Channel::UL;
  const FrequencyReadout readout = MeasureChannelFrequency(
      state_, ul ? UlFields(state_) : UrFields(state_), generator_.Frequency());
  (ul ? readouts_.ulFrequency : readouts_.urFrequency) = readout.text;
  if (readout.hideDisplayLimitWarning) readouts_.displayLimitWarning = false;
}

bool Instrument::ApplyRange(Channel channel) {
  const bool ul = channel == Channel::UL;
  const std::optional<RangeCaptions> captions =
      SelectRange(ul ? UlFields(state_) : UrFields(state_), ul ? items_.ulRange : items_.urRange);
  if (!captions) return false;
  (ul ? ulCaptions_ : urCaptions_) = {captions->plus, captions->minus};
  return true;
}

void Instrument::UlRangeChosen() {
  state_.ulAutoRange = items_.ulRange == kRangeAutomaticItem ? 1 : 0;
}

void Instrument::UrRangeChosen() {
  // The off item counts as a fixed choice.
  state_.urAutoRange = items_.urRange == kRangeAutomaticItem ? 1 : 0;
}

void Instrument::TimeBaseChosen() {
  state_.autoTimeBase = items_.timeBase == 0 ? 1 : 0;
  if (items_.timeBase == kTimeBaseGeneratorItem) {
    state_.frequencyFromGenerator = 1;
    state_.autoTimeBase = 1;
  } else {
    state_.frequencyFromGenerator = 0;
  }
}

void Instrument::SetPeriodicDisplay(bool periodic) {
  state_.periodicDisplay = periodic ? 1 : 0;
}

void Instrument::Optimum() {
  state_.sampleCount = kStartSampleCount;
}

void Instrument::GeneratorFrequencyMoved() {
  readouts_.displayLimitWarning = ExceedsDisplayLimit(generator_.Frequency());
}

}  // namespace osciloskop
