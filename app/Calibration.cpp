#include "Calibration.h"

#include <cmath>

namespace osciloskop {

namespace {

// The blocks of the first recording run, which are not used.
constexpr int64_t kSettlingBlocks = 4;
// Blocks the value is averaged over at least, so that its spread says something.
constexpr int64_t kLeastBlocks = 2;

QString nameOf(Channel channel) {
  return channel == Channel::UL ? QStringLiteral("UL") : QStringLiteral("UR");
}

}  // namespace

bool Calibration::add(const BlockFigures& figures) {
  if (!problem_.isEmpty()) return false;
  ++blocks_;
  if (blocks_ <= kSettlingBlocks) return true;
  const ChannelFigures& channel = channel_ == Channel::UL ? figures.ul : figures.ur;
  if (!channel.signal) {
    problem_ = QStringLiteral(
                   "--calibrate: no signal on %1 in block %2: a steady sine of known "
                   "RMS voltage is needed")
                   .arg(nameOf(channel_))
                   .arg(blocks_);
    return false;
  }
  if (channel.clipped > 0) {
    problem_ = QStringLiteral(
                   "--calibrate: %1 is clipped in block %2 (%3 frames at the "
                   "converter's limits): lower the level")
                   .arg(nameOf(channel_))
                   .arg(blocks_)
                   .arg(channel.clipped);
    return false;
  }
  const double value = voltsRms_ * kFullScaleSineRms / channel.rmsCounts;
  ++used_;
  const double before = mean_;
  mean_ += (value - before) / static_cast<double>(used_);
  squaredDeviations_ += (value - before) * (value - mean_);
  return true;
}

QString Calibration::result() {
  if (!problem_.isEmpty()) return {};
  if (used_ < kLeastBlocks) {
    problem_ = QStringLiteral(
                   "--calibrate: the run gave %1 blocks to measure after its first second, "
                   "at least %2 are needed (a longer --seconds)")
                   .arg(used_)
                   .arg(kLeastBlocks);
    return {};
  }
  const double spread = std::sqrt(squaredDeviations_ / static_cast<double>(used_ - 1));
  return QStringLiteral("--full-scale-volts %1 (standard deviation %2 V over %3 blocks of %4)")
      .arg(mean_, 0, 'g', 6)
      .arg(spread, 0, 'g', 2)
      .arg(used_)
      .arg(nameOf(channel_));
}

}  // namespace osciloskop
