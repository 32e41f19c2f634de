#include "wave/PortAudioCard.h"

#include <dlfcn.h>
#include <link.h>
#include <pa_jack.h>
#include <portaudio.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <ostream>
#include <utility>

#include "wave/DeviceWatch.h"
#include "wave/portaudio/AudioDeviceList.h"
#include "wave/portaudio/BlockPumps.h"
#include "wave/portaudio/BoundedCaller.h"
#include "wave/portaudio/LibraryChatter.h"
#include "wave/portaudio/StreamLink.h"

// PortAudio's JACK host API and a JACK server that goes away (jackd killed):
//
// - Closing a stream unregisters its ports, and Pa_Terminate deactivates and closes the
//   host API's client; PortAudio asserts that each succeeded. Once the server has gone, none
//   can: libjack lets go of the ports and the client all the same but reports an error, and
//   the assertion would abort the program at the first reading of the device list after the
//   loss, the very step that finds a server started again. So they are reported done, which
//   they then are.
// - Stopping or closing one of its streams waits for the server's process thread to confirm,
//   for ten minutes, unless the host API's shutdown handler wakes the wait; that handler runs
//   once, when the server goes, not for a stop that comes later. So the handler is kept, and
//   run again for a stop that overran while the server is gone (jackShutDownAgain()).
//
// These definitions stand in front of libjack's: the program's own symbols come first.
namespace {

using JackClientCall = int (*)(void*);
using JackShutdownCallback = void (*)(void*);

JackClientCall libJack(const char* name) {
  return reinterpret_cast<JackClientCall>(dlsym(RTLD_NEXT, name));
}

// The shutdown handler PortAudio's JACK host API gave for its client.
struct JackShutdownHandler {
  std::mutex mutex;
  void* client = nullptr;  // null: none
  JackShutdownCallback callback = nullptr;
  void* argument = nullptr;
  bool serverGone = false;
};

JackShutdownHandler& portAudioJackHandler() {
  static JackShutdownHandler handler;
  return handler;
}

void jackServerGone(void*) {
  JackShutdownHandler& handler = portAudioJackHandler();
  std::lock_guard lock(handler.mutex);
  handler.serverGone = true;
  handler.callback(handler.argument);
}

// After a PortAudio call on a stream overran: when the JACK server is gone, the host API's
// shutdown handler wakes a stop waiting for it.
void jackShutDownAgain() {
  JackShutdownHandler& handler = portAudioJackHandler();
  std::lock_guard lock(handler.mutex);
  if (handler.client && handler.serverGone) handler.callback(handler.argument);
}

bool inPortAudio(void* code) {
  Dl_info info{};
  return dladdr(code, &info) != 0 && info.dli_fname != nullptr &&
         std::strstr(info.dli_fname, "libportaudio") != nullptr;
}

}  // namespace

extern "C" void jack_on_shutdown(void* client, JackShutdownCallback callback, void* argument) {
  using OnShutdown = void (*)(void*, JackShutdownCallback, void*);
  static const auto onShutdown = reinterpret_cast<OnShutdown>(dlsym(RTLD_NEXT, "jack_on_shutdown"));
  if (!inPortAudio(reinterpret_cast<void*>(callback)))
    return onShutdown(client, callback, argument);
  JackShutdownHandler& handler = portAudioJackHandler();
  {
    std::lock_guard lock(handler.mutex);
    handler.client = client;
    handler.callback = callback;
    handler.argument = argument;
    handler.serverGone = false;
  }
  onShutdown(client, &jackServerGone, nullptr);
}

extern "C" int jack_port_unregister(void* client, void* port) {
  using Unregister = int (*)(void*, void*);
  static const auto unregister =
      reinterpret_cast<Unregister>(dlsym(RTLD_NEXT, "jack_port_unregister"));
  unregister(client, port);
  return 0;
}

extern "C" int jack_deactivate(void* client) {
  static const JackClientCall deactivate = libJack("jack_deactivate");
  deactivate(client);
  return 0;
}

extern "C" int jack_client_close(void* client) {
  static const JackClientCall close = libJack("jack_client_close");
  {
    JackShutdownHandler& handler = portAudioJackHandler();
    std::lock_guard lock(handler.mutex);
    if (handler.client == client) handler.client = nullptr;
  }
  close(client);
  return 0;
}

namespace osciloskop {

namespace {

using std::chrono::milliseconds;

// Opening and starting may take a sound server a moment; stopping never should. A call
// that overruns these is taken for a dead device and left behind.
constexpr milliseconds kOpenTimeout{2000};
constexpr milliseconds kStopTimeout{500};
// The blocks are a quarter second long: a tenth of a second of device buffer costs nothing
// and rides out a busy machine.
constexpr double kSuggestedLatency = 0.1;
// 46 ms at 44100 Hz: the blocks are long, and fewer callbacks wake the machine less often.
constexpr unsigned long kFramesPerCallback = 2048;
constexpr double kRingSeconds = 2.0;
constexpr milliseconds kWatchdogInterval{250};
constexpr double kListAgeSeconds = 1.0;
// How long an input stream runs on after its device was closed, waiting to be opened again.
constexpr double kIdleInputSeconds = 2.0;

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

// ---------------------------------------------------------------------------------------

namespace {

// Reading the device list again means terminating PortAudio, and with it ALSA unloads its
// plugins and the sound servers' client libraries. What they allocated once for good would
// then be lost from sight (a leak checker reports it from unknown code), and loading them
// again costs time: every library loaded so far stays loaded.
void keepLoadedLibrariesResident() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
          dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
}

// Pa_Initialize(), with every library loaded by then (the sound servers' clients among them)
// kept loaded.
PaError initialisePortAudio() {
  const PaError result = Pa_Initialize();
  keepLoadedLibrariesResident();
  return result;
}

// Every PortAudio call that can block runs on this one thread, for the life of the process:
// PortAudio is not made for calls from several threads at once, and one call stuck on a
// sound server that does not answer (Pa_Initialize connecting to a stopped PulseAudio
// server) must hold up neither the UI thread nor the calls after it.
BoundedCaller& portAudioThread() {
  static BoundedCaller thread;
  return thread;
}

std::string noAnswer() {
  return "PortAudio: the sound server did not answer within " +
         std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kOpenTimeout).count()) +
         " s";
}

// What became of PortAudio's initialisation at first use.
struct PortAudioStart {
  bool answered = false;  // false: still inside Pa_Initialize, on a server that does not answer
  std::string error;      // empty when PortAudio is initialised
};

// PortAudio is initialised at first use and stays so for the life of the process, but for
// the moments a card reads the device list again. The first call waits for it for at most
// kOpenTimeout; an initialisation that overruns goes on by itself, and a later call sees how
// it ended.
PortAudioStart portAudioStart() {
  static constexpr PaError kPending = 1;  // PortAudio's own codes are 0 and negative
  static const auto result = [] {
    filterLibraryChatter();
    // Probing the devices must not start a JACK server (ALSA's jack device would).
    setenv("JACK_NO_START_SERVER", "1", 0);
    PaJack_SetClientName("osciloskop");
    auto result = std::make_shared<std::atomic<PaError>>(kPending);
    portAudioThread().run(
        [result] {
          result->store(initialisePortAudio());
          return true;
        },
        kOpenTimeout);
    return result;
  }();
  const PaError error = result->load();
  if (error == kPending) return {false, {}};
  return {true,
          error == paNoError ? std::string() : std::string("PortAudio: ") + Pa_GetErrorText(error)};
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

// The device for one direction: the default, or the one the command line names.
int findDevice(const std::vector<AudioDeviceInfo>& devices, AudioDirection direction,
               const std::string& wanted, std::string* error) {
  return wanted.empty() ? defaultDevice(direction)
                        : chooseAudioDevice(devices, direction, wanted, error);
}

AudioDirection audioDirection(WaveDirection direction) {
  return direction == WaveDirection::In ? AudioDirection::Input : AudioDirection::Output;
}

}  // namespace

// ---------------------------------------------------------------------------------------

// One device direction: the headers in `queue` (flags, order, notifications) and the pump
// on the UI thread, the frames moved by the stream's callback into or out of `link_`.
class PortAudioCard::Direction {
 public:
  // Without a `device` and `away`, the device is taken for lost from the start (the sound
  // server did not answer), silently: the card says so once for both directions.
  Direction(PortAudioCard& card, WaveDirection direction, std::string wanted, int device, bool away)
      : queue(card.queue(direction)),
        card_(card),
        direction_(direction),
        wanted_(std::move(wanted)) {
    useDevice(device);
    if (away) {
      away_ = true;
      watch_.lost(deviceName_, [](const std::string&) {});
    }
  }
  ~Direction() { closeStream(); }
  Direction(const Direction&) = delete;
  Direction& operator=(const Direction&) = delete;

  int device() const { return device_; }
  bool hasStream() const { return stream_ != nullptr; }
  uint64_t xruns() const { return retiredXruns_ + (link_ ? link_->xruns() : 0); }

  MMRESULT open(const WAVEFORMATEX& format) {
    // An input stream still running from the previous open is taken up again when the format
    // is the same (the queue keeps the format of that open, the one the stream runs for).
    if (!(stream_ && format == queue.format())) {
      closeStream();
      if (const MMRESULT result = openStream(format)) return result;
    }
    idleSince_.reset();
    discardRecorded();
    return MMSYSERR_NOERROR;
  }

  // The input stream goes on running for a while with nothing to record into: opened again
  // soon (as the oscilloscope does every second), it delivers at once, where a newly started
  // stream of some servers begins with a stretch of silence.
  void close() {
    if (isInput() && streamRunning_)
      idleSince_ = card_.deviceTime();
    else
      closeStream();
  }

  MMRESULT add(WAVEHDR* header) {
    // Output stopped by a reset plays again with its next block.
    if (!isInput())
      if (const MMRESULT result = startStream()) return result;
    if (const MMRESULT result = queue.add(header)) return result;
    pump();
    return MMSYSERR_NOERROR;
  }

  // Input: records into the queued blocks from now on.
  MMRESULT startRecording() {
    if (const MMRESULT result = startStream()) return result;
    discardRecorded();
    queue.setRunning(true);
    return MMSYSERR_NOERROR;
  }

  // Returns every queued block, in queue order; an input block keeps what was recorded into
  // it, and recording stops until the next start. The output stream stops, and starts again
  // with the next block written.
  MMRESULT reset() {
    pump();
    if (isInput()) {
      queue.setRunning(false);
    } else {
      stopStream();
      if (link_) link_->ring().clear();
      if (playback_ && link_) playback_->restart(*link_);
    }
    queue.returnAll();
    return MMSYSERR_NOERROR;
  }

  MMRESULT setPaused(bool paused) {
    if (link_) link_->setPaused(paused);
    queue.setRunning(!paused);
    return MMSYSERR_NOERROR;
  }

  // What the stream has done since the last look: blocks due, and whether it still lives.
  void service(double now) {
    if (!link_) return;
    pump();
    if (idleSince_ && now - *idleSince_ > kIdleInputSeconds) closeStream();
    if (!streamRunning_) return;
    if (const uint64_t callbacks = link_->callbacks(); callbacks != seenCallbacks_) {
      seenCallbacks_ = callbacks;
      away_ = false;
      watch_.progressed(card_.deviceTimeAt(link_->lastCallback()), deviceName_, announcer());
    }
    if (link_->finished() || watch_.stalled(now)) loseDevice();
  }

  // Tells the user once per stretch of over- or underruns.
  void reportXruns() {
    const uint64_t total = xruns();
    if (total == reportedXruns_) {
      inXrunStretch_ = false;
      return;
    }
    if (!inXrunStretch_) {
      announcer()(std::string(isInput() ? "sound input: overrun, " : "sound output: underrun, ") +
                  std::to_string(total) + " so far");
    }
    inXrunStretch_ = true;
    reportedXruns_ = total;
  }

  // After the device list was read again: the same device, found by its name (the default
  // device of the time, too: a new default is not what the user was measuring; before any
  // list was read, the one the command line names).
  void findDeviceAgain(const std::vector<AudioDeviceInfo>& devices) {
    std::string ignored;
    useDevice(findDevice(devices, audioDirection(direction_),
                         deviceName_.empty() ? wanted_ : deviceName_, &ignored));
  }

  WaveDeviceQueue& queue;

 private:
  bool isInput() const { return direction_ == WaveDirection::In; }

  DeviceWatch::Announce announcer() const {
    return [&card = card_](const std::string& line) { card.announce(line); };
  }

  void useDevice(int device) {
    device_ = device;
    if (const PaDeviceInfo* info = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr)
      deviceName_ = info->name ? info->name : "";
  }

  // The rate and channels to open the device with: the blocks' own where the device takes
  // them, else what it offers (the pumps convert).
  std::optional<DeviceShape> chooseShape(const WAVEFORMATEX& format) const {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device_);
    if (!info) return std::nullopt;
    const bool input = isInput();
    const int maxChannels = input ? info->maxInputChannels : info->maxOutputChannels;
    const auto candidates = deviceShapesToTry(format.nSamplesPerSec, format.nChannels, maxChannels,
                                              info->defaultSampleRate);
    const auto chosen = card_.portAudio_->run(
        [candidates, device = device_, input]() -> std::optional<DeviceShape> {
          for (const DeviceShape& shape : candidates) {
            PaStreamParameters parameters{device, static_cast<int>(shape.channels), paInt16,
                                          kSuggestedLatency, nullptr};
            if (Pa_IsFormatSupported(input ? &parameters : nullptr, input ? nullptr : &parameters,
                                     shape.rate) == paFormatIsSupported)
              return shape;
          }
          return std::nullopt;
        },
        kOpenTimeout);
    return chosen ? *chosen : std::nullopt;
  }

  // Opens the device for `format`; input and output start running at once.
  MMRESULT openStream(const WAVEFORMATEX& format) {
    // PortAudio is still inside a call that overran: nothing of it can be touched.
    if (card_.portAudio_->stuck() || !card_.closeAbandoned()) return MMSYSERR_NODRIVER;
    if (device_ < 0) return away_ ? MMSYSERR_NODRIVER : MMSYSERR_BADDEVICEID;
    const auto shape = chooseShape(format);
    if (!shape) return away_ ? MMSYSERR_NODRIVER : WAVERR_BADFORMAT;

    auto link = std::make_unique<StreamLink>(static_cast<std::size_t>(kRingSeconds * shape->rate),
                                             shape->channels, *card_.wake_);
    const bool input = isInput();
    PaStreamParameters parameters{device_, static_cast<int>(shape->channels), paInt16,
                                  kSuggestedLatency, nullptr};
    const auto opened = card_.portAudio_->run(
        [parameters, input, rate = shape->rate, user = link.get()] {
          PaStream* stream = nullptr;
          PaError error =
              Pa_OpenStream(&stream, input ? &parameters : nullptr, input ? nullptr : &parameters,
                            rate, kFramesPerCallback, paClipOff, &streamCallback, user);
          if (error == paNoError) Pa_SetStreamFinishedCallback(stream, &streamFinished);
          return std::pair{error, stream};
        },
        kOpenTimeout);
    if (!opened) {
      (void)link.release();  // the call still running may yet hand it to a stream
      return MMSYSERR_NODRIVER;
    }
    if (opened->first != paNoError) return away_ ? MMSYSERR_NODRIVER : resultFor(opened->first);

    stream_ = opened->second;
    link_ = std::move(link);
    if (input)
      capture_ = std::make_unique<CapturePump>(format, *shape);
    else
      playback_ = std::make_unique<PlaybackPump>(format, *shape);
    if (const MMRESULT result = startStream()) {
      closeStream();
      return result;
    }
    return MMSYSERR_NOERROR;
  }

  MMRESULT startStream() {
    if (streamRunning_) return MMSYSERR_NOERROR;
    if (!stream_) return MMSYSERR_NODRIVER;
    link_->rearm();
    const auto started =
        card_.portAudio_->run([stream = stream_] { return Pa_StartStream(stream); }, kOpenTimeout);
    if (!started) {
      abandonStream(true);
      loseDevice();
      return MMSYSERR_NODRIVER;
    }
    if (*started != paNoError) return resultFor(*started);
    streamRunning_ = true;
    seenCallbacks_ = link_->callbacks();
    watch_.started(card_.deviceTime());
    return MMSYSERR_NOERROR;
  }

  // Input: what was recorded before the start belongs to no block.
  void discardRecorded() {
    if (!capture_) return;
    capture_->discard(*link_);
  }

  void pump() {
    if (!link_) return;
    if (capture_) capture_->pump(*link_, queue);
    if (playback_) playback_->pump(*link_, queue);
  }

  void stopStream() {
    if (!streamRunning_) return;
    streamRunning_ = false;
    watch_.stopped();
    if (!card_.portAudio_->run([stream = stream_] { return Pa_AbortStream(stream); },
                               kStopTimeout)) {
      jackShutDownAgain();
      abandonStream(true);
    }
  }

  void closeStream() {
    stopStream();
    if (stream_ && !card_.portAudio_->run([stream = stream_] { return Pa_CloseStream(stream); },
                                          kStopTimeout)) {
      jackShutDownAgain();
      abandonStream(false);
    }
    if (link_) retiredXruns_ += link_->xruns();
    stream_ = nullptr;
    link_.reset();
    capture_.reset();
    playback_.reset();
  }

  // A stream stuck in PortAudio: its callback may still run, so what it uses stays, with the
  // card, until the stream is closed. `open`: the call that overran leaves it open.
  void abandonStream(bool open) {
    streamRunning_ = false;
    if (link_) retiredXruns_ += link_->xruns();
    card_.abandoned_.push_back({open ? stream_ : nullptr, link_.release()});
    stream_ = nullptr;
  }

  // The device has gone away: its blocks come back as at a reset, and the stream is let go.
  void loseDevice() {
    pump();
    closeStream();
    queue.lose();
    away_ = true;
    watch_.lost(deviceName_, announcer());
  }

  static int streamCallback(const void* input, void* output, unsigned long frames,
                            const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags flags,
                            void* user) {
    auto* link = static_cast<StreamLink*>(user);
    if (input) {
      link->capture(static_cast<const int16_t*>(input), frames,
                    (flags & (paInputOverflow | paInputUnderflow)) != 0);
    }
    if (output) {
      link->play(static_cast<int16_t*>(output), frames,
                 (flags & (paOutputUnderflow | paOutputOverflow)) != 0);
    }
    return paContinue;
  }

  static void streamFinished(void* user) { static_cast<StreamLink*>(user)->finish(); }

  PortAudioCard& card_;
  const WaveDirection direction_;
  const std::string wanted_;  // from the command line; empty: the default device
  int device_ = -1;
  std::string deviceName_;
  DeviceWatch watch_{direction_};
  bool away_ = false;  // lost, and not seen to run since

  PaStream* stream_ = nullptr;
  std::unique_ptr<StreamLink> link_;
  std::unique_ptr<CapturePump> capture_;
  std::unique_ptr<PlaybackPump> playback_;
  bool streamRunning_ = false;
  std::optional<double> idleSince_;  // input running with the device closed, since
  uint64_t seenCallbacks_ = 0;

  uint64_t retiredXruns_ = 0;  // of streams closed since
  uint64_t reportedXruns_ = 0;
  bool inXrunStretch_ = false;
};

// ---------------------------------------------------------------------------------------

std::unique_ptr<PortAudioCard> PortAudioCard::create(const DeviceChoice& choice, std::string* error,
                                                     std::optional<WaveDirection>* unmatched) {
  const PortAudioStart start = portAudioStart();
  // A server that does not answer is a device lost from the start: looked for again as
  // after a loss. A named device is then found by its name once the list can be read.
  if (!start.answered) return std::unique_ptr<PortAudioCard>(new PortAudioCard(choice, -1, -1));
  if (*error = start.error; !error->empty()) return nullptr;
  const std::vector<AudioDeviceInfo> devices = portAudioDevices();
  auto notFound = [unmatched](WaveDirection direction) {
    if (unmatched) *unmatched = direction;
    return nullptr;
  };
  const int input = findDevice(devices, AudioDirection::Input, choice.input, error);
  if (input < 0 && !choice.input.empty()) return notFound(WaveDirection::In);
  const int output = findDevice(devices, AudioDirection::Output, choice.output, error);
  if (output < 0 && !choice.output.empty()) return notFound(WaveDirection::Out);
  return std::unique_ptr<PortAudioCard>(new PortAudioCard(choice, input, output));
}

bool PortAudioCard::hasInputDevice(std::string* reason) {
  const PortAudioStart start = portAudioStart();
  if (!start.answered) return true;
  const std::string& error = start.error;
  if (error.empty() && defaultDevice(AudioDirection::Input) >= 0) return true;
  if (reason) {
    *reason = error.empty() ? "PortAudio has no default input device" : error;
  }
  return false;
}

bool PortAudioCard::listDevices(std::ostream& out) {
  const PortAudioStart start = portAudioStart();
  if (!start.answered) {
    out << noAnswer() << '\n';
    return false;
  }
  if (!start.error.empty()) {
    out << start.error << '\n';
    return false;
  }
  writeAudioDeviceList(out, portAudioDevices(), defaultDevice(AudioDirection::Input),
                       defaultDevice(AudioDirection::Output));
  return true;
}

PortAudioCard::PortAudioCard(const DeviceChoice& choice, int inputDevice, int outputDevice)
    : portAudio_(&portAudioThread()),
      unanswered_(!portAudioStart().answered),
      wake_(std::make_unique<WakeSignal>()),
      in_(std::make_unique<Direction>(*this, WaveDirection::In, choice.input, inputDevice,
                                      unanswered_)),
      out_(std::make_unique<Direction>(*this, WaveDirection::Out, choice.output, outputDevice,
                                       unanswered_)),
      wakeNotifier_(wake_->fd(), QSocketNotifier::Read) {
  QObject::connect(&wakeNotifier_, &QSocketNotifier::activated, [this] {
    wake_->drain();
    service();
  });
  watchdog_.setInterval(kWatchdogInterval);
  QObject::connect(&watchdog_, &QTimer::timeout, [this] {
    service();
    in_->reportXruns();
    out_->reportXruns();
  });
  listReadAt_ = deviceTime();
}

PortAudioCard::~PortAudioCard() = default;

bool PortAudioCard::closeAbandoned() {
  while (!abandoned_.empty()) {
    if (portAudio_->stuck()) return false;
    auto& [stream, link] = abandoned_.back();
    if (PaStream* open = std::exchange(stream, nullptr)) {
      const auto closed = portAudio_->run(
          [open] {
            Pa_AbortStream(open);
            return Pa_CloseStream(open);
          },
          kStopTimeout);
      if (!closed) {
        jackShutDownAgain();
        return false;  // the link stays until the close has ended
      }
    }
    delete link;
    abandoned_.pop_back();
  }
  return true;
}

void PortAudioCard::service() {
  const double now = deviceTime();
  in_->service(now);
  out_->service(now);
  // The watchdog runs while a stream exists: it sees a device that stops calling back, and
  // an input stream left idle too long.
  const bool open = in_->hasStream() || out_->hasStream();
  if (open && !watchdog_.isActive()) watchdog_.start();
  if (!open) watchdog_.stop();
}

void PortAudioCard::refreshDeviceList() {
  const double now = deviceTime();
  if (in_->hasStream() || out_->hasStream() || now - listReadAt_ < kListAgeSeconds) return;
  // Pa_Terminate closes every open stream: none may be left that this card still holds.
  if (!closeAbandoned()) return;
  listReadAt_ = now;
  const auto devices = portAudio_->run(
      []() -> std::optional<std::vector<AudioDeviceInfo>> {
        Pa_Terminate();
        if (initialisePortAudio() != paNoError) return std::nullopt;
        return portAudioDevices();
      },
      kOpenTimeout);
  if (!devices || !*devices) return;
  in_->findDeviceAgain(**devices);
  out_->findDeviceAgain(**devices);
}

template <typename Action>
MMRESULT PortAudioCard::serviced(WaveDirection which, Action action) {
  const MMRESULT result = action(direction(which));
  service();
  return result;
}

MMRESULT PortAudioCard::open(WaveDirection which, const WAVEFORMATEX& format) {
  if (unanswered_) {
    announce(noAnswer() + ": trying again until it answers");
    unanswered_ = false;
  }
  refreshDeviceList();
  return serviced(which, [&format](Direction& d) { return d.open(format); });
}

MMRESULT PortAudioCard::add(WaveDirection which, WAVEHDR* header) {
  return serviced(which, [header](Direction& d) { return d.add(header); });
}

MMRESULT PortAudioCard::start(WaveDirection which) {
  return serviced(which, [](Direction& d) { return d.startRecording(); });
}

MMRESULT PortAudioCard::setPaused(WaveDirection which, bool paused) {
  return serviced(which, [paused](Direction& d) { return d.setPaused(paused); });
}

MMRESULT PortAudioCard::reset(WaveDirection which) {
  return serviced(which, [](Direction& d) { return d.reset(); });
}

void PortAudioCard::close(WaveDirection which) {
  serviced(which, [](Direction& d) {
    d.close();
    return MMSYSERR_NOERROR;
  });
}

double PortAudioCard::deviceTime() const {
  return deviceTimeAt(std::chrono::steady_clock::now());
}

double PortAudioCard::deviceTimeAt(std::chrono::steady_clock::time_point at) const {
  return std::chrono::duration<double>(at - made_).count();
}

uint64_t PortAudioCard::xruns() const {
  return in_->xruns() + out_->xruns();
}

int PortAudioCard::inputDevice() const {
  return in_->device();
}

int PortAudioCard::outputDevice() const {
  return out_->device();
}

}  // namespace osciloskop
