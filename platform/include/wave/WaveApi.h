#pragma once

// The waveform-audio service the stream components call. The functions, result codes,
// records and notification messages keep the names and values of the classic wave
// interface, so the components read as their description does; behind them runs one of
// our backends (the simulated card or PortAudio, see WaveBackend.h).
//
// Device contract, whatever the backend:
// - open with a format: the device accepts or refuses it at the open;
// - a device direction is exclusive: a second open is refused with MMSYSERR_ALLOCATED;
// - queued blocks come back in the order they were queued, each with WHDR_DONE set in its
//   header and dwBytesRecorded filled in (input);
// - open, every returned block and close are announced as WaveMessageEvent posted to the
//   callback object and handled later on the UI thread (never inside the call);
// - reset returns every queued block at once; close is refused (WAVERR_STILLPLAYING)
//   while blocks are still queued;
// - headers carry WHDR_DONE / WHDR_PREPARED / WHDR_INQUEUE; a wrong header is refused
//   with a result code, never a crash.

#include <QEvent>
#include <QObject>
#include <cstdint>

using MMRESULT = uint32_t;
using UINT = uint32_t;
using DWORD = uint32_t;
using DWORD_PTR = uintptr_t;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_BADERRNUM = 9;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MMSYSERR_HANDLEBUSY = 12;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;
constexpr MMRESULT WAVERR_SYNC = 35;

constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;
constexpr DWORD CALLBACK_WINDOW = 0x00010000u;
constexpr DWORD WAVE_ALLOWSYNC = 0x0002u;
constexpr uint16_t WAVE_FORMAT_PCM = 1;

constexpr DWORD WHDR_DONE = 0x01;
constexpr DWORD WHDR_PREPARED = 0x02;
constexpr DWORD WHDR_INQUEUE = 0x10;

// Notification messages posted to the callback object.
constexpr UINT MM_WOM_OPEN = 0x3BB;
constexpr UINT MM_WOM_CLOSE = 0x3BC;
constexpr UINT MM_WOM_DONE = 0x3BD;
constexpr UINT MM_WIM_OPEN = 0x3BE;
constexpr UINT MM_WIM_CLOSE = 0x3BF;
constexpr UINT MM_WIM_DATA = 0x3C0;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

inline bool operator==(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
  return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels &&
         a.nSamplesPerSec == b.nSamplesPerSec && a.nAvgBytesPerSec == b.nAvgBytesPerSec &&
         a.nBlockAlign == b.nBlockAlign && a.wBitsPerSample == b.wBitsPerSample &&
         a.cbSize == b.cbSize;
}

// Eight fields in the classic order; pointers are native width here.
struct WAVEHDR {
  char* lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
};

struct WaveInDevice;
struct WaveOutDevice;
using HWAVEIN = WaveInDevice*;
using HWAVEOUT = WaveOutDevice*;

// The notification as it reaches the callback object: message is one of the MM_W*
// values above; header is the returned block (MM_WIM_DATA / MM_WOM_DONE), else null.
class WaveMessageEvent : public QEvent {
 public:
  static QEvent::Type eventType();
  WaveMessageEvent(UINT message, void* device, WAVEHDR* header)
      : QEvent(eventType()), message(message), device(device), header(header) {}
  const UINT message;
  void* const device;
  WAVEHDR* const header;
};

// dwCallback of the open calls is the QObject that receives WaveMessageEvent.
MMRESULT waveInOpen(HWAVEIN* phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, QObject* dwCallback,
                    DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT waveInPrepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveInUnprepareHeader(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveInAddBuffer(HWAVEIN hwi, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveInStart(HWAVEIN hwi);
MMRESULT waveInReset(HWAVEIN hwi);
MMRESULT waveInClose(HWAVEIN hwi);
MMRESULT waveInGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText);

MMRESULT waveOutOpen(HWAVEOUT* phwo, UINT uDeviceID, const WAVEFORMATEX* pwfx, QObject* dwCallback,
                     DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveOutWrite(HWAVEOUT hwo, WAVEHDR* pwh, UINT cbwh);
MMRESULT waveOutPause(HWAVEOUT hwo);
MMRESULT waveOutRestart(HWAVEOUT hwo);
MMRESULT waveOutReset(HWAVEOUT hwo);
MMRESULT waveOutClose(HWAVEOUT hwo);
MMRESULT waveOutGetErrorTextA(MMRESULT mmrError, char* pszText, UINT cchText);
