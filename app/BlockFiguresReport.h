#pragma once

// The figures of each captured block for the report (frequency, true RMS, peak, DC, dBFS,
// volts, clipping and signal per channel; phase and ratio of the pair): measured once, when
// the capture hands the block off, and kept here, beside the window's own record, for the
// report line that follows.

#include <cstdint>
#include <optional>
#include <span>

#include "BlockFigures.h"
#include "HandedOffBlocks.h"
#include "ReadoutReport.h"

namespace osciloskop {

class BlockFiguresReport {
 public:
  // `fullScaleVolts`: the RMS voltage at the input that gives a full-scale sine; without it
  // the report has no volts.
  explicit BlockFiguresReport(std::optional<double> fullScaleVolts)
      : fullScaleVolts_(fullScaleVolts) {}

  // Measures a block of stereo frames as the card delivers them (UR first).
  const BlockFigures& measure(std::span<const int16_t> interleaved);
  // The figures of the block measured last (all empty or 0 before the first).
  const BlockFigures& latest() const { return latest_; }

  // Appends the fields of the object "measured" of the block measured last.
  void appendFields(ReportFields& fields) const;

 private:
  const std::optional<double> fullScaleVolts_;
  BlockFigureMeter meter_;
  BlockFigures latest_;
};

}  // namespace osciloskop
