#include <algorithm>
#include <cstring>

#include "WaveBackend.h"

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

MMRESULT checkOpen(const void* handleOut, UINT deviceId, const WAVEFORMATEX* format,
                   const QObject* callback, DWORD flags) {
  if (handleOut == nullptr || format == nullptr) return MMSYSERR_INVALPARAM;
  if ((flags & ~(CALLBACK_WINDOW | WAVE_ALLOWSYNC)) != 0) return MMSYSERR_INVALFLAG;
  if ((flags & CALLBACK_WINDOW) != 0 && callback == nullptr) return MMSYSERR_INVALPARAM;
  if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
  if (backend == nullptr) return MMSYSERR_NODRIVER;
  return MMSYSERR_NOERROR;
}

MMRESULT checkHandle(const void* handle) {
  return handle == nullptr || backend == nullptr ? MMSYSERR_INVALHANDLE : MMSYSERR_NOERROR;
}

MMRESULT checkHeader(const void* handle, const WAVEHDR* header, UINT size) {
  if (MMRESULT result = checkHandle(handle)) return result;
  if (header == nullptr || size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

MMRESULT checkPrepare(const void* handle, const WAVEHDR* header, UINT size) {
  if (MMRESULT result = checkHeader(handle, header, size)) return result;
  return header->lpData == nullptr ? MMSYSERR_INVALPARAM : MMSYSERR_NOERROR;
}

// Unprepare of a queued header would let the device write into released memory.
MMRESULT checkUnprepare(const void* handle, const WAVEHDR* header, UINT size) {
  if (MMRESULT result = checkHeader(handle, header, size)) return result;
  return (header->dwFlags & WHDR_INQUEUE) != 0 ? WAVERR_STILLPLAYING : MMSYSERR_NOERROR;
}

MMRESULT checkQueue(const void* handle, const WAVEHDR* header, UINT size) {
  if (MMRESULT result = checkHeader(handle, header, size)) return result;
  if ((header->dwFlags & WHDR_PREPARED) == 0) return WAVERR_UNPREPARED;
  return (header->dwFlags & WHDR_INQUEUE) != 0 ? WAVERR_STILLPLAYING : MMSYSERR_NOERROR;
}

}  // namespace

QEvent::Type WaveMessageEvent::eventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void installWaveBackend(WaveBackend* installed) {
  backend = installed;
}

WaveBackend* installedWaveBackend() {
  return backend;
}

MMRESULT waveInOpen(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, QObject* dwCallback,
                    DWORD_PTR, DWORD fdwOpen) {
  if (MMRESULT result = checkOpen(phwi, uDeviceID, pwfx, dwCallback, fdwOpen)) return result;
  return backend->inOpen(phwi, *pwfx, dwCallback);
}

MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
  if (MMRESULT result = checkPrepare(hwi, pwh, cbwh)) return result;
  return backend->inPrepareHeader(hwi, pwh);
}

MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
  if (MMRESULT result = checkUnprepare(hwi, pwh, cbwh)) return result;
  return backend->inUnprepareHeader(hwi, pwh);
}

MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh) {
  if (MMRESULT result = checkQueue(hwi, pwh, cbwh)) return result;
  return backend->inAddBuffer(hwi, pwh);
}

MMRESULT waveInStart(HWAVEIN hwi) {
  if (MMRESULT result = checkHandle(hwi)) return result;
  return backend->inStart(hwi);
}

MMRESULT waveInReset(HWAVEIN hwi) {
  if (MMRESULT result = checkHandle(hwi)) return result;
  return backend->inReset(hwi);
}

MMRESULT waveInClose(HWAVEIN hwi) {
  if (MMRESULT result = checkHandle(hwi)) return result;
  return backend->inClose(hwi);
}

MMRESULT waveInGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText) {
  return errorText(mmrError, pszText, cchText);
}

MMRESULT waveOutOpen(HWAVEOUT* phwo, UINT uDeviceID, const WAVEFORMATEX* pwfx, QObject* dwCallback,
                     DWORD_PTR, DWORD fdwOpen) {
  if (MMRESULT result = checkOpen(phwo, uDeviceID, pwfx, dwCallback, fdwOpen)) return result;
  return backend->outOpen(phwo, *pwfx, dwCallback);
}

MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh) {
  if (MMRESULT result = checkPrepare(hwo, pwh, cbwh)) return result;
  return backend->outPrepareHeader(hwo, pwh);
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh) {
  if (MMRESULT result = checkUnprepare(hwo, pwh, cbwh)) return result;
  return backend->outUnprepareHeader(hwo, pwh);
}

MMRESULT waveOutWrite(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh) {
  if (MMRESULT result = checkQueue(hwo, pwh, cbwh)) return result;
  return backend->outWrite(hwo, pwh);
}

MMRESULT waveOutPause(HWAVEOUT hwo) {
  if (MMRESULT result = checkHandle(hwo)) return result;
  return backend->outPause(hwo);
}

MMRESULT waveOutRestart(HWAVEOUT hwo) {
  if (MMRESULT result = checkHandle(hwo)) return result;
  return backend->outRestart(hwo);
}

MMRESULT waveOutReset(HWAVEOUT hwo) {
  if (MMRESULT result = checkHandle(hwo)) return result;
  return backend->outReset(hwo);
}

MMRESULT waveOutClose(HWAVEOUT hwo) {
  if (MMRESULT result = checkHandle(hwo)) return result;
  return backend->outClose(hwo);
}

MMRESULT waveOutGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText) {
  return errorText(mmrError, pszText, cchText);
}
