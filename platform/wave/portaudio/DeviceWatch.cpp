#include "wave/DeviceWatch.h"

#include <algorithm>
#include <limits>

namespace osciloskop {

void DeviceWatch::started(double now) {
  running_ = true;
  started_ = now;
  lastProgress_ = -1;
}

void DeviceWatch::progressed(double now, const std::string& deviceName, const Announce& announce) {
  if (!running_) return;
  lastProgress_ = now;
  if (gone_ && now - started_ >= kStallSeconds) {
    gone_ = false;
    announce(line("back", deviceName));
  }
}

double DeviceWatch::deadline() const {
  if (!running_) return std::numeric_limits<double>::infinity();
  return std::max(started_ + kStartSeconds, lastProgress_ + kStallSeconds);
}

void DeviceWatch::lost(const std::string& deviceName, const Announce& announce) {
  running_ = false;
  if (gone_) return;
  gone_ = true;
  announce(line("lost", deviceName));
}

std::string DeviceWatch::line(const char* what, const std::string& deviceName) const {
  return std::string(direction_ == WaveDirection::In ? "sound input " : "sound output ") + what +
         ": " + deviceName;
}

}  // namespace osciloskop
