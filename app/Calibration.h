#pragma once

// The calibration of a channel (--calibrate): with a steady sine of known RMS voltage on the
// input, the value of --full-scale-volts (the RMS voltage of a full-scale sine) that makes
// the report's rmsVolts read that voltage, averaged over the blocks of the run, with its
// standard deviation as the spread. The first second is not used: the capture offers the
// first 0.25 s of each one-second recording run four times, and the first run may hold the
// start of the input.

#include <QString>
#include <cstdint>

#include "BlockFigures.h"
#include "ChannelFields.h"

namespace osciloskop {

class Calibration {
 public:
  Calibration(Channel channel, double voltsRms) : channel_(channel), voltsRms_(voltsRms) {}

  // Takes the figures of the next block. False once a block has no signal or a clipped one
  // on the channel, with problem() saying so; from then on nothing is taken.
  bool add(const BlockFigures& figures);

  // After the run: the line that gives the value and its spread, or empty with problem()
  // set when the run gave too few blocks.
  QString result();
  // One line naming --calibrate and what is wrong with the input.
  const QString& problem() const { return problem_; }

 private:
  const Channel channel_;
  const double voltsRms_;
  int64_t blocks_ = 0;  // blocks seen, those of the first second included
  // The values of the blocks used: their count, mean and sum of squared deviations
  // (updated as Welford does, which keeps the spread exact however close the values are).
  int64_t used_ = 0;
  double mean_ = 0;
  double squaredDeviations_ = 0;
  QString problem_;
};

}  // namespace osciloskop
