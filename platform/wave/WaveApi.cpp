#include <algorithm>
#include <cstring>

#include "wave/WaveBackend.h"

using osciloskop::WaveBackend;
using osciloskop::WaveDeviceQueue;
using osciloskop::WaveDirection;

namespace {

WaveBackend* backend = nullptr;

struct ErrorText {
  MMRESULT code;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {MMSYSERR_NOERROR, "The command was carried out."},
    {MMSYSERR_ERROR, "An error occurred in the wave device."},
    {MMSYSERR_BADDEVICEID, "The device identifier is out of range for this system."},
    {MMSYSERR_NOTENABLED, "The driver was not enabled."},
    {MMSYSERR_ALLOCATED, "The device is already in use. Wait until it is free, then try again."},
    {MMSYSERR_INVALHANDLE, "The device handle is invalid."},
    {MMSYSERR_NODRIVER, "There is no sound device driver available."},
    {MMSYSERR_NOMEM, "There is not enough memory for this task."},
    {MMSYSERR_NOTSUPPORTED, "The device does not support this function."},
    {MMSYSERR_BADERRNUM, "The error number is not defined."},
    {MMSYSERR_INVALFLAG, "An invalid flag was passed to a wave function."},
    {MMSYSERR_INVALPARAM, "An invalid parameter was passed to a wave function."},
    {MMSYSERR_HANDLEBUSY, "The device handle is being used by another thread."},
    {WAVERR_BADFORMAT, "The device does not support the requested wave format."},
    {WAVERR_STILLPLAYING,
     "The device still has queued blocks. Reset it, or wait until they are finished."},
    {WAVERR_UNPREPARED, "The wave header was not prepared. Prepare it, then try again."},
    {WAVERR_SYNC, "The device is synchronous and needs the WAVE_ALLOWSYNC flag."},
};

MMRESULT errorText(MMRESULT code, char* text, UINT size) {
  if (text == nullptr || size == 0) return MMSYSERR_INVALPARAM;
  const auto* found = std::find_if(std::begin(kErrorTexts), std::end(kErrorTexts),
                                   [code](const ErrorText& e) { return e.code == code; });
  if (found == std::end(kErrorTexts)) return MMSYSERR_BADERRNUM;
  const size_t length = std::min<size_t>(std::strlen(found->text), size - 1);
  std::memcpy(text, found->text, length);
  text[length] = '\0';
  return MMSYSERR_NOERROR;
}

// The queue of the open device that `handle` names, or null.
WaveDeviceQueue* openDevice(WaveDirection direction, const void* handle) {
  if (backend == nullptr || handle == nullptr) return nullptr;
  WaveDeviceQueue& queue = backend->queue(direction);
  return queue.isOpen() && handle == queue.handle() ? &queue : nullptr;
}

// True for the formats the wave layer can move: PCM, 8 or 16 bits, 1 or 2 channels,
// 8000..192000 frames per second, block align and byte rate consistent.
bool isSupportedPcmFormat(const WAVEFORMATEX& format) {
  if (format.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return false;
  if (format.nChannels != 1 && format.nChannels != 2) return false;
  if (format.nSamplesPerSec < 8000 || format.nSamplesPerSec > 192000) return false;
  const uint32_t align = format.nChannels * (format.wBitsPerSample / 8u);
  return format.nBlockAlign == align && format.nAvgBytesPerSec == align * format.nSamplesPerSec;
}

bool isHeader(const WAVEHDR* header, UINT size) {
  return header != nullptr && size == sizeof(WAVEHDR);
}

// One implementation of each call for both directions.

MMRESULT openDirection(WaveDirection direction, void** handleOut, UINT deviceId,
                       const WAVEFORMATEX* format, QObject* callback, DWORD flags) {
  if (handleOut == nullptr || format == nullptr) return MMSYSERR_INVALPARAM;
  if ((flags & ~(CALLBACK_WINDOW | WAVE_ALLOWSYNC)) != 0) return MMSYSERR_INVALFLAG;
  if ((flags & CALLBACK_WINDOW) != 0 && callback == nullptr) return MMSYSERR_INVALPARAM;
  if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
  if (backend == nullptr) return MMSYSERR_NODRIVER;
  if (!isSupportedPcmFormat(*format)) return WAVERR_BADFORMAT;
  WaveDeviceQueue& queue = backend->queue(direction);
  if (queue.isOpen()) return MMSYSERR_ALLOCATED;
  if (const MMRESULT result = backend->open(direction, *format)) return result;
  queue.open(*format, callback);
  *handleOut = queue.handle();
  return MMSYSERR_NOERROR;
}

MMRESULT prepareHeader(WaveDirection direction, const void* handle, WAVEHDR* header, UINT size) {
  WaveDeviceQueue* queue = openDevice(direction, handle);
  if (queue == nullptr) return MMSYSERR_INVALHANDLE;
  if (!isHeader(header, size) || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  if (const MMRESULT result = backend->prepare(direction)) return result;
  queue->prepare(header);
  return MMSYSERR_NOERROR;
}

// Unprepare of a queued header would let the device write into released memory.
MMRESULT unprepareHeader(WaveDirection direction, const void* handle, WAVEHDR* header, UINT size) {
  WaveDeviceQueue* queue = openDevice(direction, handle);
  if (queue == nullptr) return MMSYSERR_INVALHANDLE;
  if (!isHeader(header, size)) return MMSYSERR_INVALPARAM;
  if ((header->dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
  queue->unprepare(header);
  return MMSYSERR_NOERROR;
}

MMRESULT queueHeader(WaveDirection direction, const void* handle, WAVEHDR* header, UINT size) {
  WaveDeviceQueue* queue = openDevice(direction, handle);
  if (queue == nullptr) return MMSYSERR_INVALHANDLE;
  if (!isHeader(header, size)) return MMSYSERR_INVALPARAM;
  if ((header->dwFlags & WHDR_PREPARED) == 0) return WAVERR_UNPREPARED;
  if ((header->dwFlags & WHDR_INQUEUE) != 0) return WAVERR_STILLPLAYING;
  if (queue->lost()) return MMSYSERR_NODRIVER;
  return backend->add(direction, header);
}

// Runs `call` with the backend when `handle` names the direction's open device.
template <typename Call>
MMRESULT onOpenDevice(WaveDirection direction, const void* handle, Call call) {
  if (openDevice(direction, handle) == nullptr) return MMSYSERR_INVALHANDLE;
  return call(*backend);
}

MMRESULT closeDevice(WaveDirection direction, const void* handle) {
  WaveDeviceQueue* queue = openDevice(direction, handle);
  if (queue == nullptr) return MMSYSERR_INVALHANDLE;
  if (queue->queued() > 0) return WAVERR_STILLPLAYING;
  backend->close(direction);
  queue->close();
  return MMSYSERR_NOERROR;
}

}  // namespace

QEvent::Type WaveMessageEvent::eventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

namespace osciloskop {

void installWaveBackend(WaveBackend* installed) {
  backend = installed;
}

WaveBackend* installedWaveBackend() {
  return backend;
}

}  // namespace osciloskop

MMRESULT waveInOpen(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, QObject* dwCallback,
                    DWORD_PTR, DWORD fdwOpen) {
  void* handle = nullptr;
  const MMRESULT result = openDirection(WaveDirection::In, phwi ? &handle : nullptr, uDeviceID,
                                        pwfx, dwCallback, fdwOpen);
  if (result == MMSYSERR_NOERROR) *phwi = static_cast<HWAVEIN>(handle);
  return result;
}

MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
  return prepareHeader(WaveDirection::In, hwi, pwh, cbwh);
}

MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
  return unprepareHeader(WaveDirection::In, hwi, pwh, cbwh);
}

MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
  return queueHeader(WaveDirection::In, hwi, pwh, cbwh);
}

MMRESULT waveInStart(HWAVEIN hwi) {
  return onOpenDevice(WaveDirection::In, hwi,
                      [](WaveBackend& card) { return card.start(WaveDirection::In); });
}

MMRESULT waveInReset(HWAVEIN hwi) {
  return onOpenDevice(WaveDirection::In, hwi,
                      [](WaveBackend& card) { return card.reset(WaveDirection::In); });
}

MMRESULT waveInClose(HWAVEIN hwi) {
  return closeDevice(WaveDirection::In, hwi);
}

MMRESULT waveInGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText) {
  return errorText(mmrError, pszText, cchText);
}

MMRESULT waveOutOpen(HWAVEOUT* phwo, UINT uDeviceID, const WAVEFORMATEX* pwfx, QObject* dwCallback,
                     DWORD_PTR, DWORD fdwOpen) {
  void* handle = nullptr;
  const MMRESULT result = openDirection(WaveDirection::Out, phwo ? &handle : nullptr, uDeviceID,
                                        pwfx, dwCallback, fdwOpen);
  if (result == MMSYSERR_NOERROR) *phwo = static_cast<HWAVEOUT>(handle);
  return result;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh) {
  return prepareHeader(WaveDirection::Out, hwo, pwh, cbwh);
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh) {
  return unprepareHeader(WaveDirection::Out, hwo, pwh, cbwh);
}

MMRESULT waveOutWrite(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh) {
  return queueHeader(WaveDirection::Out, hwo, pwh, cbwh);
}

MMRESULT waveOutPause(HWAVEOUT hwo) {
  return onOpenDevice(WaveDirection::Out, hwo,
                      [](WaveBackend& card) { return card.setPaused(WaveDirection::Out, true); });
}

MMRESULT waveOutRestart(HWAVEOUT hwo) {
  return onOpenDevice(WaveDirection::Out, hwo,
                      [](WaveBackend& card) { return card.setPaused(WaveDirection::Out, false); });
}

MMRESULT waveOutReset(HWAVEOUT hwo) {
  return onOpenDevice(WaveDirection::Out, hwo,
                      [](WaveBackend& card) { return card.reset(WaveDirection::Out); });
}

MMRESULT waveOutClose(HWAVEOUT hwo) {
  return closeDevice(WaveDirection::Out, hwo);
}

MMRESULT waveOutGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText) {
  return errorText(mmrError, pszText, cchText);
}
