#pragma once

// The real sound card, through PortAudio.
//
// Each direction is one PortAudio stream whose callback thread moves samples between the
// device and the queued blocks. The callback shares with the UI thread only two lock-free
// queues of headers (blocks to fill or play; blocks finished) and an atomic pause flag; it
// never blocks, allocates or calls Qt. A timer on the UI thread collects the finished
// blocks every few milliseconds, marks them done and posts their notifications; open,
// close and reset act at the call (reset and close stop the stream first).
//
// Make the card on the UI thread, after the QCoreApplication.

#include <QTimer>
#include <chrono>
#include <iosfwd>
#include <memory>
#include <string>

#include "AudioDeviceList.h"
#include "WaveBackend.h"

class PortAudioCard : public WaveBackend {
 public:
  // Device names or numbers from the command line; empty means PortAudio's default.
  struct DeviceChoice {
    std::string input;
    std::string output;
  };

  // Initialises PortAudio at the first call (with the ALSA and JACK chatter on stderr
  // silenced; it then stays initialised) and picks the devices. Returns null with *error
  // set when PortAudio fails or a named device does not exist (the text then lists the
  // devices). A direction without any device is allowed: opening it fails with
  // MMSYSERR_BADDEVICEID.
  static std::unique_ptr<PortAudioCard> create(const DeviceChoice& choice, std::string* error);

  // True when PortAudio has a default input device (the program then prefers the real card);
  // else false, with *reason (when given) saying what is missing.
  static bool hasInputDevice(std::string* reason = nullptr);
  // The device list for --list-devices; false, with the reason on `out`, when PortAudio
  // cannot be initialised.
  static bool listDevices(std::ostream& out);

  ~PortAudioCard() override;
  PortAudioCard(const PortAudioCard&) = delete;
  PortAudioCard& operator=(const PortAudioCard&) = delete;

  MMRESULT inOpen(HWAVEIN* phwi, const WAVEFORMATEX& format, QObject* callback) override;
  MMRESULT inPrepareHeader(HWAVEIN hwi, WAVEHDR* header) override;
  MMRESULT inUnprepareHeader(HWAVEIN hwi, WAVEHDR* header) override;
  MMRESULT inAddBuffer(HWAVEIN hwi, WAVEHDR* header) override;
  MMRESULT inStart(HWAVEIN hwi) override;
  MMRESULT inReset(HWAVEIN hwi) override;
  MMRESULT inClose(HWAVEIN hwi) override;

  MMRESULT outOpen(HWAVEOUT* phwo, const WAVEFORMATEX& format, QObject* callback) override;
  MMRESULT outPrepareHeader(HWAVEOUT hwo, WAVEHDR* header) override;
  MMRESULT outUnprepareHeader(HWAVEOUT hwo, WAVEHDR* header) override;
  MMRESULT outWrite(HWAVEOUT hwo, WAVEHDR* header) override;
  MMRESULT outPause(HWAVEOUT hwo) override;
  MMRESULT outRestart(HWAVEOUT hwo) override;
  MMRESULT outReset(HWAVEOUT hwo) override;
  MMRESULT outClose(HWAVEOUT hwo) override;

  // Seconds since the card was made (steady clock).
  double deviceTime() const override;

  // The PortAudio device numbers in use; -1 for a direction without a device.
  int inputDevice() const { return inputDevice_; }
  int outputDevice() const { return outputDevice_; }

 private:
  class Direction;  // one device direction
  PortAudioCard(int inputDevice, int outputDevice);

  MMRESULT open(Direction& direction, int device, void** handle, const WAVEFORMATEX& format,
                QObject* callback);
  // Runs `action` on the direction when `handle` is its open device, else
  // MMSYSERR_INVALHANDLE.
  template <typename Action>
  MMRESULT onOpen(Direction& direction, void* handle, Action action);

  int inputDevice_;
  int outputDevice_;
  const std::unique_ptr<Direction> in_;
  const std::unique_ptr<Direction> out_;
  QTimer collector_;
  const std::chrono::steady_clock::time_point made_ = std::chrono::steady_clock::now();
};
