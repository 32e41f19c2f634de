#pragma once

// A sound card behind the wave functions of WaveApi.h.
//
// The wave functions check everything that can be checked without a device before they
// call a backend: null pointers and sizes, the handle, the format (PCM the layer can move),
// the header's flags, and that a direction is opened only once. They keep each direction's
// headers in its WaveDeviceQueue (flags, order, notifications). A backend implements the
// devices of both directions, told which by a WaveDirection, and trusts what it is given.
// With no backend installed every open fails with MMSYSERR_NODRIVER.

#include <cstdint>
#include <functional>
#include <string>

#include "wave/WaveApi.h"
#include "wave/WaveDeviceQueue.h"

namespace osciloskop {

class WaveBackend {
 public:
  virtual ~WaveBackend() = default;

  // The headers given to a direction's device, in the order it was given them.
  WaveDeviceQueue& queue(WaveDirection direction) {
    return direction == WaveDirection::In ? input_ : output_;
  }

  // Opens the direction's device for `format`, a PCM format the wave layer can move; the
  // wave function then opens the queue. The direction is closed.
  virtual MMRESULT open(WaveDirection direction, const WAVEFORMATEX& format) = 0;
  // A header is about to be prepared for the open device (a device may refuse).
  virtual MMRESULT prepare(WaveDirection direction) {
    (void)direction;
    return MMSYSERR_NOERROR;
  }
  // Takes a prepared header that is in no queue: adds it to queue(direction) and moves the
  // samples of it from now on.
  virtual MMRESULT add(WaveDirection direction, WAVEHDR* header) = 0;
  // Input: records into the queued blocks from now on.
  virtual MMRESULT start(WaveDirection direction) = 0;
  // Output: holds the blocks without playing them, or plays on.
  virtual MMRESULT setPaused(WaveDirection direction, bool paused) = 0;
  // Stops the device and returns every queued block at once (queue(direction).returnAll()),
  // input blocks with what was recorded into them.
  virtual MMRESULT reset(WaveDirection direction) = 0;
  // Lets the device go; nothing is queued any more. The wave function then closes the queue.
  virtual void close(WaveDirection direction) = 0;

  // Seconds of device time since the backend was made (the simulated card's clock, or
  // the real time of a PortAudio stream); used by the program's readout report.
  virtual double deviceTime() const = 0;

  // Over- and underruns of the devices since the backend was made.
  virtual uint64_t xruns() const { return 0; }

  // Where the backend tells the user, one line at a time, that a device went away, came
  // back or ran short. Nowhere until set.
  void setStatusSink(std::function<void(const std::string&)> sink) {
    statusSink_ = std::move(sink);
  }

 protected:
  void announce(const std::string& line) const {
    if (statusSink_) statusSink_(line);
  }

 private:
  WaveDeviceQueue input_{WaveDirection::In};
  WaveDeviceQueue output_{WaveDirection::Out};
  std::function<void(const std::string&)> statusSink_;
};

// Non-owning: the caller keeps the backend alive while it is installed. Passing null
// uninstalls it.
void installWaveBackend(WaveBackend* backend);
WaveBackend* installedWaveBackend();

}  // namespace osciloskop
