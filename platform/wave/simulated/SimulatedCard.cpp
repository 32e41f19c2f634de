#include "wave/SimulatedCard.h"

#include <algorithm>
#include <cmath>

#include "wave/PcmSamples.h"

namespace osciloskop {

namespace {

// How long the real clock lets the devices be when no queued block is under way.
constexpr double kIdleServiceSeconds = 0.25;
// Gives the UL channel a 45 degree lag behind UR at 100 Hz.
constexpr const char* kDefaultUL = "loopback-rc:100";

// How the card names itself when a device goes away or comes back.
constexpr const char* kCardName = "simulated card";

}  // namespace

SimulatedCard::SimulatedCard(ClockMode mode)
    : mode_(mode), start_(std::chrono::steady_clock::now()), line_(kLineHistory, 0) {
  std::string error;
  sources_[0] = parseSignalSource("loopback", error);
  sources_[1] = parseSignalSource(kDefaultUL, error);
  if (mode_ == ClockMode::Real) {
    timer_ = std::make_unique<QTimer>();
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
      service();
      scheduleService();
    });
    scheduleService();
  }
}

SimulatedCard::~SimulatedCard() = default;

void SimulatedCard::advance(std::chrono::microseconds step) {
  if (mode_ != ClockMode::Manual || step.count() <= 0) return;
  manualTime_ += step;
  service();
}

std::chrono::microseconds SimulatedCard::now() const {
  if (mode_ == ClockMode::Manual) return manualTime_;
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start_);
}

double SimulatedCard::deviceTime() const {
  return static_cast<double>(now().count()) / 1e6;
}

void SimulatedCard::setSource(int channel, std::unique_ptr<SignalSource> source) {
  if (channel >= 0 && channel < 2 && source)
    sources_[static_cast<size_t>(channel)] = std::move(source);
}

void SimulatedCard::onSourceFailure(
    std::function<void(int channel, const std::string& failure)> handler) {
  onSourceFailure_ = std::move(handler);
}

void SimulatedCard::failNext(WaveCall call, MMRESULT code) {
  pendingFaults_[static_cast<size_t>(call)] = code;
}

void SimulatedCard::unplug() {
  service();
  unplugged_ = true;
}

void SimulatedCard::replug() {
  service();
  unplugged_ = false;
}

// Whole seconds and the microseconds beyond them apart, so that the product cannot overflow.
int64_t SimulatedCard::framesAt(uint32_t rate) const {
  constexpr int64_t kMicrosPerSecond = 1'000'000;
  const int64_t micros = servicedTime_.count();
  return micros / kMicrosPerSecond * rate + micros % kMicrosPerSecond * rate / kMicrosPerSecond;
}

void SimulatedCard::service() {
  // One reading of the clock for both directions: the real clock moves on between two
  // readings, and input read later than the output played would hear frames not played yet.
  servicedTime_ = now();
  playUntil(framesAt(lineRate_));
  if (input_.isOpen()) {
    recordUntil(framesAt(input_.format().nSamplesPerSec));
    reportSourceFailure();
  }
  watchDevices();
}

void SimulatedCard::watchDevices() {
  const auto announcer = [this](const std::string& line) { announce(line); };
  const double now = std::chrono::duration<double>(servicedTime_).count();
  const std::pair<WaveDeviceQueue*, DeviceWatch*> devices[] = {{&input_, &inputWatch_},
                                                               {&output_, &outputWatch_}};
  for (auto [device, watch] : devices) {
    // Output runs from its open (paused or not), input from its start to its reset.
    const bool running =
        device->isOpen() && !device->lost() && (device == &output_ || device->running());
    if (running && !watch->running()) watch->started(now);
    if (!running) watch->stopped();
    // A device plugged in moves frames with its clock.
    if (!unplugged_) watch->progressed(now, kCardName, announcer);
    if (watch->stalled(now)) {
      device->lose();
      watch->lost(kCardName, announcer);
    }
  }
}

void SimulatedCard::scheduleService() {
  if (!timer_) return;
  const double serviced = std::chrono::duration<double>(servicedTime_).count();
  // A device that has stopped moving is looked at again when the watchdog would take it for
  // gone.
  double due =
      std::min({serviced + kIdleServiceSeconds, inputWatch_.deadline(), outputWatch_.deadline()});
  // A block comes back once fewer bytes than a frame are left of it.
  const auto blockDue = [&](const WaveDeviceQueue& device, int64_t nextFrame, uint32_t rate) {
    if (!device.isOpen() || !device.running() || unplugged_ || device.queued() == 0) return;
    const int64_t frames = device.remaining() / std::max<uint16_t>(device.format().nBlockAlign, 1);
    due = std::min(due, static_cast<double>(nextFrame + frames) / rate);
  };
  blockDue(output_, lineFrame_, lineRate_);
  blockDue(input_, inputFrame_, input_.format().nSamplesPerSec);
  const double wait = std::max(due - deviceTime(), 0.0);
  timer_->start(static_cast<int>(std::ceil(wait * 1000)));
}

void SimulatedCard::playUntil(int64_t lineFrame) {
  const WAVEFORMATEX& format = output_.format();
  const bool playing = output_.isOpen() && output_.running() && !unplugged_;
  for (; lineFrame_ < lineFrame; ++lineFrame_) {
    int16_t value = 0;
    if (playing) {
      output_.advance(0);  // gives back blocks too short for a frame
      if (const char* frame = output_.cursor()) {
        int sum = 0;
        for (int c = 0; c < format.nChannels; ++c)
          sum += readPcmSample(frame + c * format.wBitsPerSample / 8, format.wBitsPerSample);
        value = static_cast<int16_t>(sum / format.nChannels);
        output_.advance(format.nBlockAlign);
      }
    }
    line_[static_cast<size_t>(lineFrame_ % kLineHistory)] = value;
  }
}

void SimulatedCard::recordUntil(int64_t inputFrame) {
  const WAVEFORMATEX& format = input_.format();
  const bool recording = input_.running() && !unplugged_;
  for (; inputFrame_ < inputFrame; ++inputFrame_) {
    if (!recording) continue;
    input_.advance(0);
    char* frame = input_.cursor();
    if (frame == nullptr) continue;  // nothing queued: the frame is lost
    for (int c = 0; c < format.nChannels; ++c) {
      const int16_t value =
          sources_[static_cast<size_t>(c)]->sample(inputFrame_, format.nSamplesPerSec, *this);
      writePcmSample(frame + c * format.wBitsPerSample / 8, format.wBitsPerSample, value);
    }
    input_.advance(format.nBlockAlign);
  }
}

void SimulatedCard::reportSourceFailure() {
  if (sourceFailed_ || !onSourceFailure_) return;
  for (int channel = 0; channel < 2; ++channel) {
    const std::string failure = sources_[static_cast<size_t>(channel)]->failure();
    if (failure.empty()) continue;
    sourceFailed_ = true;
    onSourceFailure_(channel, failure);
    return;
  }
}

int16_t SimulatedCard::playedAt(int64_t frame, uint32_t frameRate) const {
  const int64_t lineFrame = frame * lineRate_ / frameRate;
  if (lineFrame < lineStart_ || lineFrame >= lineFrame_ || lineFrame < lineFrame_ - kLineHistory)
    return 0;
  return line_[static_cast<size_t>(lineFrame % kLineHistory)];
}

MMRESULT SimulatedCard::refusal(WaveCall call) {
  if (unplugged_) return MMSYSERR_NODRIVER;
  MMRESULT& pending = pendingFaults_[static_cast<size_t>(call)];
  const MMRESULT code = pending;
  pending = MMSYSERR_NOERROR;
  return code;
}

MMRESULT SimulatedCard::open(WaveDirection direction, const WAVEFORMATEX& format) {
  if (MMRESULT result = refusal(WaveCall::Open)) return result;
  service();
  if (direction == WaveDirection::In) {
    inputFrame_ = framesAt(format.nSamplesPerSec);
  } else if (format.nSamplesPerSec != lineRate_) {
    // The output history is kept at the output's rate; a new rate starts it afresh.
    lineRate_ = format.nSamplesPerSec;
    lineFrame_ = framesAt(lineRate_);
    lineStart_ = lineFrame_;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedCard::prepare(WaveDirection) {
  return refusal(WaveCall::Prepare);
}

MMRESULT SimulatedCard::add(WaveDirection direction, WAVEHDR* header) {
  if (MMRESULT result = refusal(direction == WaveDirection::In ? WaveCall::Add : WaveCall::Write))
    return result;
  service();
  const MMRESULT result = queue(direction).add(header);
  scheduleService();
  return result;
}

MMRESULT SimulatedCard::start(WaveDirection direction) {
  if (MMRESULT result = refusal(WaveCall::Start)) return result;
  service();
  queue(direction).setRunning(true);
  scheduleService();
  return MMSYSERR_NOERROR;
}

MMRESULT SimulatedCard::setPaused(WaveDirection direction, bool paused) {
  if (unplugged_) return MMSYSERR_NODRIVER;
  service();
  queue(direction).setRunning(!paused);
  scheduleService();
  return MMSYSERR_NOERROR;
}

// An input reset also stops recording until the next start.
MMRESULT SimulatedCard::reset(WaveDirection direction) {
  service();
  queue(direction).returnAll();
  if (direction == WaveDirection::In) input_.setRunning(false);
  return MMSYSERR_NOERROR;
}

void SimulatedCard::close(WaveDirection) {
  service();
}

}  // namespace osciloskop
