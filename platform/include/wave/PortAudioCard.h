#pragma once

// The real sound card, through PortAudio (ALSA, PulseAudio, PipeWire, JACK).
//
// Each direction is one PortAudio stream. Its callback thread only moves frames between the
// device and a ring (StreamLink); the UI thread moves them between the ring and the queued
// blocks (BlockPumps), converting the frame rate where the device does not take the
// blocks' own. The callback wakes the UI thread through an eventfd when a block is due or
// the stream has stopped, so nothing polls.
//
// A device that goes away (its stream stops, or moves no frames for a second) is treated as
// a device reset: every queued block comes back, the streams close through their normal
// path, and opens are refused with MMSYSERR_NODRIVER until the device can be opened again;
// its device list is read again whenever no stream is open. Every PortAudio call that can
// block runs on a thread of its own and is waited for only so long, so that no call on a
// dead device hangs the program.
//
// Make the card on the UI thread, after the QCoreApplication.

#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "wave/WaveBackend.h"

namespace osciloskop {

class BoundedCaller;
class StreamLink;
class WakeSignal;

class PortAudioCard : public WaveBackend {
 public:
  // Device names or numbers from the command line; empty means PortAudio's default.
  struct DeviceChoice {
    std::string input;
    std::string output;
  };

  // Initialises PortAudio at the first call (it then stays initialised, with the sound
  // libraries' chatter kept off the standard error) and picks the devices. Returns null with
  // *error set when PortAudio fails or a named device does not exist (the text then lists
  // the devices, and *unmatched, when given, says the direction of the device not found).
  // A direction without any device is allowed: opening it fails with MMSYSERR_BADDEVICEID.
  // When the initialisation does not end within two seconds (a sound server that does not
  // answer), the card is made with both devices lost: its first open says so once, and the
  // devices are looked for again as after a loss.
  static std::unique_ptr<PortAudioCard> create(const DeviceChoice& choice, std::string* error,
                                               std::optional<WaveDirection>* unmatched = nullptr);

  // True when PortAudio has a default input device (the program then prefers the real card),
  // or when the sound server did not answer within two seconds (the device counts as lost);
  // else false, with *reason (when given) saying what is missing.
  static bool hasInputDevice(std::string* reason = nullptr);
  // The device list for --list-devices; false, with the reason on `out`, when PortAudio
  // cannot be initialised or the sound server does not answer within two seconds.
  static bool listDevices(std::ostream& out);

  ~PortAudioCard() override;
  PortAudioCard(const PortAudioCard&) = delete;
  PortAudioCard& operator=(const PortAudioCard&) = delete;

  MMRESULT open(WaveDirection direction, const WAVEFORMATEX& format) override;
  MMRESULT add(WaveDirection direction, WAVEHDR* header) override;
  MMRESULT start(WaveDirection direction) override;
  MMRESULT setPaused(WaveDirection direction, bool paused) override;
  MMRESULT reset(WaveDirection direction) override;
  void close(WaveDirection direction) override;

  // Seconds since the card was made (steady clock).
  double deviceTime() const override;
  uint64_t xruns() const override;

  // The PortAudio device numbers in use; -1 for a direction without a device.
  int inputDevice() const;
  int outputDevice() const;

 private:
  class Direction;  // one device direction
  friend class Direction;
  PortAudioCard(const DeviceChoice& choice, int inputDevice, int outputDevice);

  Direction& direction(WaveDirection direction) {
    return direction == WaveDirection::In ? *in_ : *out_;
  }
  // Runs `action` on the direction, then looks at what both devices have done.
  template <typename Action>
  MMRESULT serviced(WaveDirection direction, Action action);
  // Everything the devices have done since the last look: blocks due, streams stopped or
  // stalled, over- and underruns.
  void service();
  // The device time of a moment of the steady clock.
  double deviceTimeAt(std::chrono::steady_clock::time_point at) const;
  // Reads PortAudio's device list again, and finds the devices again, when no stream is open
  // and the list is older than a second.
  void refreshDeviceList();
  // Closes the streams left behind by calls that overran, now that PortAudio is free again,
  // so that an old stream neither plays nor records beside the one that replaces it. False
  // while one is still left (PortAudio still busy, or its close overran too).
  bool closeAbandoned();

  BoundedCaller* const portAudio_;  // the one thread of PortAudio's calls
  bool unanswered_;                 // the sound server did not answer: not yet said
  const std::unique_ptr<WakeSignal> wake_;
  const std::unique_ptr<Direction> in_;
  const std::unique_ptr<Direction> out_;
  QSocketNotifier wakeNotifier_;
  QTimer watchdog_;
  const std::chrono::steady_clock::time_point made_ = std::chrono::steady_clock::now();
  double listReadAt_ = 0;
  // Streams left behind, each with the link its callback may still use (null: the call that
  // overran closes it). The links are freed only once their stream is closed; those still
  // left when the card goes are left to the calls still running.
  std::vector<std::pair<void*, StreamLink*>> abandoned_;
};

}  // namespace osciloskop
