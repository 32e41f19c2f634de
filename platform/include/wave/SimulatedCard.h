#pragma once

// A sound card in software: a clock (the steady clock, or one that only moves when told), a
// line input whose two channels come from signal sources, and a line output whose samples are
// kept for a few seconds so that the input can hear them. It injects faults for tests.
//
// Everything runs on the thread that made the card: with the real clock a timer on that
// thread moves the samples when the next queued block is due (and now and then when no block
// is under way); with the manual clock advance() does it.

#include <QTimer>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wave/DeviceWatch.h"
#include "wave/SignalSource.h"
#include "wave/WaveBackend.h"

namespace osciloskop {

class SimulatedCard : public WaveBackend, private LineOutputHistory {
 public:
  enum class ClockMode { Real, Manual };
  enum class WaveCall { Open, Prepare, Add, Start, Write };

  // Samples of the line output kept for loopback (about 5.9 s at 44100 Hz).
  static constexpr int64_t kLineHistory = 1 << 18;

  explicit SimulatedCard(ClockMode mode);
  ~SimulatedCard() override;

  // Manual clock: moves the time on and services the devices up to it (the notifications
  // are posted; the event loop delivers them later). Ignored with the real clock. The time
  // is counted in whole microseconds, so that steps add up exactly however many there are.
  void advance(std::chrono::microseconds step);
  double deviceTime() const override;

  // Channel 0 is UR (the first value of a stereo frame, and the only one of mono input),
  // channel 1 is UL. A null source is ignored.
  void setSource(int channel, std::unique_ptr<SignalSource> source);
  // Called once, from the service that records it, when a source fails (a file that cannot
  // be read on): the channel and the source's failure text.
  void onSourceFailure(std::function<void(int channel, const std::string& failure)> handler);

  // The next call of that kind, in either direction, fails once with `code`.
  void failNext(WaveCall call, MMRESULT code);
  // Pulls the card out: its devices stop moving frames, and every call fails with
  // MMSYSERR_NODRIVER except unprepare, reset and close, so that a stream can still clean
  // up. Nothing comes back by itself, as from a real card: a second later the watchdog
  // takes the devices for gone and returns their queued blocks. After replug the devices
  // open again.
  void unplug();
  void replug();

  MMRESULT open(WaveDirection direction, const WAVEFORMATEX& format) override;
  MMRESULT prepare(WaveDirection direction) override;
  MMRESULT add(WaveDirection direction, WAVEHDR* header) override;
  MMRESULT start(WaveDirection direction) override;
  MMRESULT setPaused(WaveDirection direction, bool paused) override;
  MMRESULT reset(WaveDirection direction) override;
  void close(WaveDirection direction) override;

 private:
  int16_t playedAt(int64_t frame, uint32_t frameRate) const override;

  // Plays and records everything due up to the current time: first the output, so that
  // loopback input hears what played at the same instants.
  void service();
  // Real clock: arms the timer for when the first of the queued blocks completes, or, with
  // none under way, for a while later.
  void scheduleService();
  void playUntil(int64_t lineFrame);
  void recordUntil(int64_t inputFrame);
  // The watchdog of both devices, at the time of the latest service.
  void watchDevices();
  void reportSourceFailure();
  // MMSYSERR_NODRIVER while unplugged, else a fault injected for this call (consumed).
  MMRESULT refusal(WaveCall call);
  // The clock's reading, in whole microseconds since the card was made.
  std::chrono::microseconds now() const;
  // Frames at `rate` up to the time of the latest service.
  int64_t framesAt(uint32_t rate) const;

  const ClockMode mode_;
  const std::chrono::steady_clock::time_point start_;
  std::chrono::microseconds manualTime_{0};
  std::unique_ptr<QTimer> timer_;

  WaveDeviceQueue& input_ = queue(WaveDirection::In);
  WaveDeviceQueue& output_ = queue(WaveDirection::Out);
  std::chrono::microseconds servicedTime_{0};  // the clock's reading at the latest service
  int64_t inputFrame_ = 0;                     // next input frame, at the input's rate
  std::array<std::unique_ptr<SignalSource>, 2> sources_;
  std::function<void(int, const std::string&)> onSourceFailure_;
  bool sourceFailed_ = false;  // reported already

  std::vector<int16_t> line_;  // ring of the last kLineHistory output samples
  uint32_t lineRate_ = 44100;
  int64_t lineFrame_ = 0;  // next output frame, at lineRate_
  int64_t lineStart_ = 0;  // first frame kept at lineRate_

  std::array<MMRESULT, 5> pendingFaults_{};
  bool unplugged_ = false;
  DeviceWatch inputWatch_{WaveDirection::In};
  DeviceWatch outputWatch_{WaveDirection::Out};
};

}  // namespace osciloskop
