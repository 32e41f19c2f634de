#include "PortAudioCard.h"

#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <cstdio>
#include <ostream>

#include "AudioBlockChannel.h"
#include "WaveDeviceQueue.h"

namespace {

// PortAudio's initialisation probes ALSA and JACK, which print their complaints about
// absent cards and servers straight to fd 2. Point fd 2 at /dev/null for the call.
template <typename Call>
PaError withStderrSilenced(Call call) {
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  const bool redirected = saved >= 0 && null >= 0 && dup2(null, STDERR_FILENO) >= 0;
  const PaError result = call();
  if (redirected) {
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
  }
  if (saved >= 0) close(saved);
  if (null >= 0) close(null);
  return result;
}

MMRESULT resultFor(PaError error) {
  switch (error) {
    case paNoError:
      return MMSYSERR_NOERROR;
    case paDeviceUnavailable:
      return MMSYSERR_ALLOCATED;
    case paInsufficientMemory:
      return MMSYSERR_NOMEM;
    case paInvalidChannelCount:
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
      return WAVERR_BADFORMAT;
    default:
      return MMSYSERR_ERROR;
  }
}

}  // namespace

#if defined(__SANITIZE_THREAD__)
// The sound server's client library (reached through ALSA's pulse plugin) synchronises its
// threads in ways the thread sanitizer cannot see, as it is not instrumented; its own
// reports say nothing about our code.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libpulse.so\nrace:libpulsecommon\n";
}
#endif

// ---------------------------------------------------------------------------------------

namespace {

// PortAudio is initialised at first use and stays for the life of the process. Terminating
// it makes ALSA unload its plugins, and libraries they pulled in leave allocations behind
// that the leak checker reports from unloaded code; it also spares a second device scan.
// Empty when it succeeded.
const std::string& portAudioError() {
  static const std::string error = [] {
    const PaError result = withStderrSilenced([] { return Pa_Initialize(); });
    return result == paNoError ? std::string()
                               : std::string("PortAudio: ") + Pa_GetErrorText(result);
  }();
  return error;
}

std::vector<AudioDeviceInfo> portAudioDevices() {
  std::vector<AudioDeviceInfo> devices;
  const PaDeviceIndex count = Pa_GetDeviceCount();  // negative on error
  for (PaDeviceIndex i = 0; i < count; ++i) {
    if (const PaDeviceInfo* info = Pa_GetDeviceInfo(i)) {
      devices.push_back({i, info->name ? info->name : "", info->maxInputChannels,
                         info->maxOutputChannels, info->defaultSampleRate});
    }
  }
  return devices;
}

// The default device of a direction, or -1 when there is none (PortAudio may name a
// default that it then has no information about).
int defaultDevice(AudioDirection direction) {
  const PaDeviceIndex device =
      direction == AudioDirection::Input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
  return device != paNoDevice && Pa_GetDeviceInfo(device) ? device : -1;
}

}  // namespace

// ---------------------------------------------------------------------------------------

// One device direction: the headers in `queue` (flags, order, notifications) on the UI
// thread, the samples moved by `channel` on PortAudio's callback thread.
class PortAudioCard::Direction {
 public:
  explicit Direction(WaveDirection direction) : queue(direction), direction_(direction) {}
  ~Direction() { closeStream(); }
  Direction(const Direction&) = delete;
  Direction& operator=(const Direction&) = delete;

  MMRESULT open(const PaStreamParameters& parameters, const WAVEFORMATEX& format,
                QObject* callback) {
    const bool input = direction_ == WaveDirection::In;
    channel_.configure(format.nBlockAlign, format.wBitsPerSample == 8 ? 0x80 : 0);
    const PaError error =
        Pa_OpenStream(&stream_, input ? &parameters : nullptr, input ? nullptr : &parameters,
                      format.nSamplesPerSec, paFramesPerBufferUnspecified, paClipOff,
                      &Direction::streamCallback, this);
    if (error != paNoError) {
      stream_ = nullptr;
      return resultFor(error);
    }
    // Output runs from the open, playing silence until blocks arrive; input records from
    // the start call.
    if (const MMRESULT result = input ? MMSYSERR_NOERROR : startStream()) {
      closeStream();
      return result;
    }
    return queue.open(format, callback);
  }

  MMRESULT close() {
    if (const MMRESULT result = queue.close()) return result;
    closeStream();
    return MMSYSERR_NOERROR;
  }

  MMRESULT prepare(WAVEHDR* header) {
    queue.prepare(header);
    return MMSYSERR_NOERROR;
  }

  MMRESULT unprepare(WAVEHDR* header) {
    queue.unprepare(header);
    return MMSYSERR_NOERROR;
  }

  MMRESULT add(WAVEHDR* header) {
    if (const MMRESULT result = queue.add(header)) return result;
    channel_.give(header);  // never full: it holds no more headers than `queue`
    return MMSYSERR_NOERROR;
  }

  MMRESULT startStream() {
    if (streamRunning_) return MMSYSERR_NOERROR;
    const PaError error = Pa_StartStream(stream_);
    streamRunning_ = error == paNoError;
    if (direction_ == WaveDirection::In) queue.setRunning(streamRunning_);
    return resultFor(error);
  }

  // Stops the stream and returns every queued block, in queue order; an input block keeps
  // what was recorded into it. Output goes on running (silent) afterwards.
  MMRESULT reset() {
    if (const MMRESULT result = stopStream()) return result;
    collect();
    const DWORD partial = channel_.reclaim();
    if (direction_ == WaveDirection::In) queue.advance(partial);
    queue.returnAll();
    return direction_ == WaveDirection::In ? MMSYSERR_NOERROR : startStream();
  }

  MMRESULT setPaused(bool paused) {
    channel_.setPaused(paused);
    queue.setRunning(!paused);
    return MMSYSERR_NOERROR;
  }

  // UI thread, from the timer: hands back the blocks the callback has finished.
  void collect() {
    while (const auto finished = channel_.takeFinished()) queue.advance(finished->bytes);
  }

  WaveDeviceQueue queue;

 private:
  MMRESULT stopStream() {
    if (!streamRunning_) return MMSYSERR_NOERROR;
    const PaError error = Pa_AbortStream(stream_);
    if (error != paNoError) return resultFor(error);
    streamRunning_ = false;
    if (direction_ == WaveDirection::In) queue.setRunning(false);
    return MMSYSERR_NOERROR;
  }

  void closeStream() {
    if (!stream_) return;
    stopStream();
    Pa_CloseStream(stream_);
    stream_ = nullptr;
    channel_.reclaim();
  }

  static int streamCallback(const void* input, void* output, unsigned long frames,
                            const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags,
                            void* userData) {
    AudioBlockChannel& channel = static_cast<Direction*>(userData)->channel_;
    if (input) channel.capture(static_cast<const char*>(input), frames);
    if (output) channel.play(static_cast<char*>(output), frames);
    return paContinue;
  }

  const WaveDirection direction_;
  AudioBlockChannel channel_;
  PaStream* stream_ = nullptr;
  bool streamRunning_ = false;
};

// ---------------------------------------------------------------------------------------

namespace {

// The device for one direction: the default, or the one the command line names.
bool pickDevice(const std::vector<AudioDeviceInfo>& devices, AudioDirection direction,
                const std::string& wanted, int defaultDevice, int* device, std::string* error) {
  *device = wanted.empty() ? defaultDevice : chooseAudioDevice(devices, direction, wanted, error);
  return wanted.empty() || *device >= 0;
}

}  // namespace

std::unique_ptr<PortAudioCard> PortAudioCard::create(const DeviceChoice& choice,
                                                     std::string* error) {
  if (*error = portAudioError(); !error->empty()) return nullptr;
  const std::vector<AudioDeviceInfo> devices = portAudioDevices();
  int input = -1;
  int output = -1;
  if (!pickDevice(devices, AudioDirection::Input, choice.input,
                  defaultDevice(AudioDirection::Input), &input, error) ||
      !pickDevice(devices, AudioDirection::Output, choice.output,
                  defaultDevice(AudioDirection::Output), &output, error))
    return nullptr;
  return std::unique_ptr<PortAudioCard>(new PortAudioCard(input, output));
}

bool PortAudioCard::hasInputDevice(std::string* reason) {
  const std::string& error = portAudioError();
  if (error.empty() && defaultDevice(AudioDirection::Input) >= 0) return true;
  if (reason) {
    *reason = error.empty() ? "PortAudio has no default input device" : error;
  }
  return false;
}

bool PortAudioCard::listDevices(std::ostream& out) {
  if (const std::string& error = portAudioError(); !error.empty()) {
    out << error << '\n';
    return false;
  }
  writeAudioDeviceList(out, portAudioDevices(), defaultDevice(AudioDirection::Input),
                       defaultDevice(AudioDirection::Output));
  return true;
}

PortAudioCard::PortAudioCard(int inputDevice, int outputDevice)
    : inputDevice_(inputDevice),
      outputDevice_(outputDevice),
      in_(std::make_unique<Direction>(WaveDirection::In)),
      out_(std::make_unique<Direction>(WaveDirection::Out)) {
  collector_.setInterval(std::chrono::milliseconds(4));
  QObject::connect(&collector_, &QTimer::timeout, [this] {
    in_->collect();
    out_->collect();
  });
  collector_.start();
}

PortAudioCard::~PortAudioCard() = default;

MMRESULT PortAudioCard::open(Direction& direction, int device, void** handle,
                             const WAVEFORMATEX& format, QObject* callback) {
  if (direction.queue.isOpen()) return MMSYSERR_ALLOCATED;
  if (!isSupportedPcmFormat(format)) return WAVERR_BADFORMAT;
  const PaDeviceInfo* info = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
  if (!info) return MMSYSERR_BADDEVICEID;

  const bool input = &direction == in_.get();
  PaStreamParameters parameters{};
  parameters.device = device;
  parameters.channelCount = format.nChannels;
  parameters.sampleFormat = format.wBitsPerSample == 8 ? paUInt8 : paInt16;
  // The blocks are a quarter second long; a generous latency costs nothing and avoids
  // overruns on a loaded machine.
  parameters.suggestedLatency =
      input ? info->defaultHighInputLatency : info->defaultHighOutputLatency;
  const PaError supported = Pa_IsFormatSupported(
      input ? &parameters : nullptr, input ? nullptr : &parameters, format.nSamplesPerSec);
  if (supported != paFormatIsSupported) {
    const MMRESULT result = resultFor(supported);
    return result == MMSYSERR_ERROR ? WAVERR_BADFORMAT : result;
  }
  if (const MMRESULT result = direction.open(parameters, format, callback)) return result;
  *handle = direction.queue.handle();
  return MMSYSERR_NOERROR;
}

template <typename Action>
MMRESULT PortAudioCard::onOpen(Direction& direction, void* handle, Action action) {
  if (handle != direction.queue.handle() || !direction.queue.isOpen()) return MMSYSERR_INVALHANDLE;
  return action(direction);
}

// The handles are the devices' header queues, seen through the opaque handle types.

MMRESULT PortAudioCard::inOpen(HWAVEIN* phwi, const WAVEFORMATEX& format, QObject* callback) {
  void* handle = nullptr;
  const MMRESULT result = open(*in_, inputDevice_, &handle, format, callback);
  if (result == MMSYSERR_NOERROR) *phwi = static_cast<HWAVEIN>(handle);
  return result;
}

MMRESULT PortAudioCard::inPrepareHeader(HWAVEIN hwi, WAVEHDR* header) {
  return onOpen(*in_, hwi, [header](Direction& d) { return d.prepare(header); });
}

MMRESULT PortAudioCard::inUnprepareHeader(HWAVEIN hwi, WAVEHDR* header) {
  return onOpen(*in_, hwi, [header](Direction& d) { return d.unprepare(header); });
}

MMRESULT PortAudioCard::inAddBuffer(HWAVEIN hwi, WAVEHDR* header) {
  return onOpen(*in_, hwi, [header](Direction& d) { return d.add(header); });
}

MMRESULT PortAudioCard::inStart(HWAVEIN hwi) {
  return onOpen(*in_, hwi, [](Direction& d) { return d.startStream(); });
}

MMRESULT PortAudioCard::inReset(HWAVEIN hwi) {
  return onOpen(*in_, hwi, [](Direction& d) { return d.reset(); });
}

MMRESULT PortAudioCard::inClose(HWAVEIN hwi) {
  return onOpen(*in_, hwi, [](Direction& d) { return d.close(); });
}

MMRESULT PortAudioCard::outOpen(HWAVEOUT* phwo, const WAVEFORMATEX& format, QObject* callback) {
  void* handle = nullptr;
  const MMRESULT result = open(*out_, outputDevice_, &handle, format, callback);
  if (result == MMSYSERR_NOERROR) *phwo = static_cast<HWAVEOUT>(handle);
  return result;
}

MMRESULT PortAudioCard::outPrepareHeader(HWAVEOUT hwo, WAVEHDR* header) {
  return onOpen(*out_, hwo, [header](Direction& d) { return d.prepare(header); });
}

MMRESULT PortAudioCard::outUnprepareHeader(HWAVEOUT hwo, WAVEHDR* header) {
  return onOpen(*out_, hwo, [header](Direction& d) { return d.unprepare(header); });
}

MMRESULT PortAudioCard::outWrite(HWAVEOUT hwo, WAVEHDR* header) {
  return onOpen(*out_, hwo, [header](Direction& d) { return d.add(header); });
}

MMRESULT PortAudioCard::outPause(HWAVEOUT hwo) {
  return onOpen(*out_, hwo, [](Direction& d) { return d.setPaused(true); });
}

MMRESULT PortAudioCard::outRestart(HWAVEOUT hwo) {
  return onOpen(*out_, hwo, [](Direction& d) { return d.setPaused(false); });
}

MMRESULT PortAudioCard::outReset(HWAVEOUT hwo) {
  return onOpen(*out_, hwo, [](Direction& d) { return d.reset(); });
}

MMRESULT PortAudioCard::outClose(HWAVEOUT hwo) {
  return onOpen(*out_, hwo, [](Direction& d) { return d.close(); });
}

double PortAudioCard::deviceTime() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - made_).count();
}
