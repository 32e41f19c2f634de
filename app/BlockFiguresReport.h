#pragma once

// The object "measured" of a report line: the figures the instrument measured of a block
// (frequency, true RMS, peak, DC, dBFS, volts, clipping and signal per channel; phase and
// ratio of the pair), rounded to the digits they carry.

#include "BlockFigures.h"
#include "ReadoutReport.h"

namespace osciloskop {

// Appends the fields of "measured"; `volts`: the figures carry rmsVolts (a calibration was
// given).
void appendFigureFields(ReportFields& fields, const BlockFigures& figures, bool volts);

}  // namespace osciloskop
