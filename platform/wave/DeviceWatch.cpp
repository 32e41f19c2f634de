#include "DeviceWatch.h"

#include <limits>

void DeviceWatch::started(double now) {
  running_ = true;
  moved_ = false;
  since_ = now;
}

void DeviceWatch::progressed(double now, const std::string& deviceName, const Announce& announce) {
  if (!running_) return;
  moved_ = true;
  since_ = now;
  if (gone_) {
    gone_ = false;
    announce(line("back", deviceName));
  }
}

double DeviceWatch::deadline() const {
  if (!running_) return std::numeric_limits<double>::infinity();
  return since_ + (moved_ ? kStallSeconds : kStartSeconds);
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
