#pragma once

// A sound card behind the wave functions of WaveApi.h. The free functions check what can
// be checked without a device (null pointers, header sizes) and dispatch to the backend
// installed with installWaveBackend. With no backend installed every open fails with
// MMSYSERR_NODRIVER.

#include <cstdint>
#include <functional>
#include <string>

#include "WaveApi.h"

class WaveBackend {
 public:
  virtual ~WaveBackend() = default;

  virtual MMRESULT inOpen(HWAVEIN* phwi, const WAVEFORMATEX& format, QObject* callback) = 0;
  virtual MMRESULT inPrepareHeader(HWAVEIN hwi, WAVEHDR* header) = 0;
  virtual MMRESULT inUnprepareHeader(HWAVEIN hwi, WAVEHDR* header) = 0;
  virtual MMRESULT inAddBuffer(HWAVEIN hwi, WAVEHDR* header) = 0;
  virtual MMRESULT inStart(HWAVEIN hwi) = 0;
  virtual MMRESULT inReset(HWAVEIN hwi) = 0;
  virtual MMRESULT inClose(HWAVEIN hwi) = 0;

  virtual MMRESULT outOpen(HWAVEOUT* phwo, const WAVEFORMATEX& format, QObject* callback) = 0;
  virtual MMRESULT outPrepareHeader(HWAVEOUT hwo, WAVEHDR* header) = 0;
  virtual MMRESULT outUnprepareHeader(HWAVEOUT hwo, WAVEHDR* header) = 0;
  virtual MMRESULT outWrite(HWAVEOUT hwo, WAVEHDR* header) = 0;
  virtual MMRESULT outPause(HWAVEOUT hwo) = 0;
  virtual MMRESULT outRestart(HWAVEOUT hwo) = 0;
  virtual MMRESULT outReset(HWAVEOUT hwo) = 0;
  virtual MMRESULT outClose(HWAVEOUT hwo) = 0;

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
  std::function<void(const std::string&)> statusSink_;
};

// Non-owning: the caller keeps the backend alive while it is installed. Passing null
// uninstalls it.
void installWaveBackend(WaveBackend* backend);
WaveBackend* installedWaveBackend();
