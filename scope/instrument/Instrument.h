#pragma once

// The instrument without its window: it owns the scope record and its start values, takes
// each captured block, runs a display frame's measurement, range, time-base and trigger
// steps in their order, and keeps what a view shows: the readout texts, the warnings, the
// scale captions of the ranges in force, and (in the record) the applied ranges, the time
// base and the trace's start and stride. The commands of the control strip are its
// operations. A view draws from the record after each frame; the headless report, the
// analysis of a recording and the calibration read the same object.

#include <cstdint>
#include <optional>
#include <span>

#include "BlockFigures.h"
#include "ChannelFields.h"
#include "ListItems.h"
#include "Readouts.h"
#include "ScopeState.h"

namespace osciloskop {

class ToneGenerator;

// Frames per second of every captured block.
inline constexpr int kCaptureRate = 44100;

// What the view's readout boxes and warning panels show.
struct InstrumentReadouts {
  ReadoutText ulLevel;               // Edit4
  ReadoutText ulFrequency;           // Edit12
  ReadoutText urLevel;               // Edit1
  ReadoutText urFrequency;           // Edit8
  ReadoutText peakDiagnostic;        // Edit11
  bool overRangeWarning = false;     // Panel2: UR's peak near the converter's limit
  bool displayLimitWarning = false;  // Panel14: a tone above the display limit
};

// The captions at the ends of a channel's axis, for the range in force.
struct AxisCaptions {
  const char* plus;
  const char* minus;
};

// The items the range and time-base lists show: a frame reads them, however they were set.
struct ListItemsShown {
  int ulRange = 0;
  int urRange = 0;
  int timeBase = 0;
};

// What a display frame did that the view must follow: a range or time base applied anew
// (its captions written again) clears the screen.
struct FrameOutcome {
  bool ulRangeApplied = false;
  bool urRangeApplied = false;
  bool timeBaseApplied = false;
  bool ScreenCleared() const { return ulRangeApplied || urRangeApplied || timeBaseApplied; }
};

class Instrument {
 public:
  // The list items at start: automatic ranges, the time base that follows the generator.
  static constexpr ListItemsShown kStartItems{kRangeAutomaticItem, kRangeAutomaticItem,
                                              kTimeBaseGeneratorItem};

  explicit Instrument(const ToneGenerator& generator);

  const ScopeState& State() const { return state_; }
  // The record itself, for the X-Y trace, which keeps the values it drew in it, and for
  // tests that set a field.
  ScopeState& Record() { return state_; }

  const InstrumentReadouts& Readouts() const { return readouts_; }
  const AxisCaptions& UlCaptions() const { return ulCaptions_; }
  const AxisCaptions& UrCaptions() const { return urCaptions_; }
  const ListItemsShown& ItemsShown() const { return items_; }
  bool PeriodicDisplay() const { return state_.periodicDisplay == 1; }

  // The capture hand-off: stereo frames of 16-bit values as the card delivered them (UR
  // first), as many as the capture arrays take. Returns the values taken.
  std::span<const int16_t> TakeBlock(std::span<const int16_t> interleaved);
  int64_t BlocksTaken() const { return blocksTaken_; }

  // The block figures of every block taken from now on, measured as it is taken.
  void MeasureBlockFigures(std::optional<double> fullScaleVolts);
  // The figures of the block taken last (all empty before the first or when not measured).
  const BlockFigures& Figures() const { return figures_; }

  // One pass of the acquisition cycle: true when it is a display frame (periodic display),
  // which the view runs with DisplayFrame between its grid and its trace; in single-shot
  // display the pass measures levels and frequencies alone.
  bool StartPass();
  // The steps of a display frame up to the trace: levels, ranges and frequencies of UL,
  // then of UR (unless its list shows "off"), the time base, and the trace's trigger.
  FrameOutcome DisplayFrame();

  // Commands.
  void ShowListItems(const ListItemsShown& items) { items_ = items; }
  void UlRangeChosen();  // the UL range list's item chosen by the user
  void UrRangeChosen();
  void TimeBaseChosen();
  void SetPeriodicDisplay(bool periodic);
  void Optimum();  // the block length the display starts with
  // The generator's frequency has moved: the display-limit warning follows it.
  void GeneratorFrequencyMoved();
  void HideDisplayLimitWarning() { readouts_.displayLimitWarning = false; }

 private:
  void MeasureLevelUL();
  void MeasureLevelUR();
  void MeasureFrequency(Channel channel);
  bool ApplyRange(Channel channel);

  const ToneGenerator& generator_;
  ScopeState state_;
  InstrumentReadouts readouts_;
  AxisCaptions ulCaptions_;
  AxisCaptions urCaptions_;
  ListItemsShown items_ = kStartItems;
  int64_t blocksTaken_ = 0;
  std::optional<BlockFigureMeter> meter_;
  std::optional<double> fullScaleVolts_;
  BlockFigures figures_;
};

}  // namespace osciloskop
