#pragma once

// Watches one direction of a sound device for the sign that it has gone away (a server
// killed, a card pulled out), and tells the user once when it goes and once when it is back.
//
// A running device that shows no progress for kStallSeconds counts as gone. A stream that has
// just started gets kStartSeconds in all, as a sound server that has just started itself may
// take that long to deliver its first frames, or to go on after the first few; and it counts
// as back once it has moved frames for kStallSeconds, not at its first callback. The times
// are the backend's clock, so a simulated card on a manual clock is watched in its own time.

#include <functional>
#include <string>

#include "wave/WaveDeviceQueue.h"

namespace osciloskop {

class DeviceWatch {
 public:
  static constexpr double kStallSeconds = 0.75;  // three blocks of the streams
  static constexpr double kStartSeconds = 2.5;

  using Announce = std::function<void(const std::string&)>;

  explicit DeviceWatch(WaveDirection direction) : direction_(direction) {}

  void started(double now);
  void stopped() { running_ = false; }
  bool running() const { return running_; }
  // The device moved frames at `now`. The first progress after a loss announces the return.
  void progressed(double now, const std::string& deviceName, const Announce& announce);
  bool stalled(double now) const { return now >= deadline(); }
  // The time at which the device counts as gone unless it moves before; +inf while stopped.
  double deadline() const;
  // The device is gone: announced, unless it was not seen to move since the last time it was
  // announced gone (a stream reopened while the device is still away).
  void lost(const std::string& deviceName, const Announce& announce);

 private:
  std::string line(const char* what, const std::string& deviceName) const;

  const WaveDirection direction_;
  bool running_ = false;
  bool gone_ = false;         // announced gone, not yet back
  double started_ = 0;        // the start
  double lastProgress_ = -1;  // the latest progress since the start; -1 before the first
};

}  // namespace osciloskop
