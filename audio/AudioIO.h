#pragma once

// Wave stream components: TAudioIn records from the sound card's wave input, TAudioOut plays
// to its wave output. Both move PCM blocks through a ring of two to four fixed blocks between
// the device and an event handler of their owner; the device's notifications reach them as
// events posted to a hidden callback object made at each open.
//
// Failures are reported by a Boolean result and the text in ErrorMessage, never by exceptions.
// Property setters clamp instead of rejecting. Everything runs on the owner's (UI) thread.

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "memory/GlobalMemory.h"
#include "wave/WaveApi.h"

using TBufferEvent = std::function<bool(void* Buffer, int32_t& Size)>;
using TNotifyEvent = std::function<void(QObject* Sender)>;

class TAudioIO;
class TAudioIn;
class TAudioOut;

// Receives the notifications of one open of a device and hands them to the stream, which it
// reaches through StreamRef (the owner's variable holding the stream) at every message.
class TCallBackWin : public QObject {
  Q_OBJECT

 public:
  enum Notice { Opened, Closed, BlockReturned };

  // The stream that made this window.
  const TAudioIO* Issuer() const { return issuer_; }
  // Set while the device opened for this window has not yet announced its close.
  bool AwaitingClose() const { return awaitingClose_; }
  void SetAwaitingClose(bool awaiting) { awaitingClose_ = awaiting; }
  // The issuing stream is going away: ignore every later notification.
  void Detach() { issuer_ = nullptr; }

 protected:
  // openMessage, closeMessage, blockMessage: the direction's MM_W* values.
  TCallBackWin(QObject* parent, const TAudioIO* issuer, UINT openMessage, UINT closeMessage,
               UINT blockMessage);
  virtual TAudioIO* Stream() const = 0;
  bool event(QEvent* e) override;

 private:
  const TAudioIO* issuer_;
  const UINT openMessage_, closeMessage_, blockMessage_;
  bool awaitingClose_ = false;
};

class TCallBackWinIn : public TCallBackWin {
  Q_OBJECT

 public:
  TCallBackWinIn(QObject* parent, const TAudioIO* issuer);
  TAudioIn** StreamRef = nullptr;

 protected:
  TAudioIO* Stream() const override;
};

class TCallBackWinOut : public TCallBackWin {
  Q_OBJECT

 public:
  TCallBackWinOut(QObject* parent, const TAudioIO* issuer);
  TAudioOut** StreamRef = nullptr;

 protected:
  TAudioIO* Stream() const override;
};

class TAudioIO : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxBuffers = 4;

  // The block and header store comes from `memory`, which must outlive the component.
  explicit TAudioIO(QObject* owner, GlobalMemory& memory = processMemory());
  ~TAudioIO() override;

  // Reads the aligned block size; a write below 512 stores 512 and re-makes the block store.
  int32_t BufferSize() const { return BlockSize_; }
  void SetBufferSize(int32_t value);
  int32_t RequestedBufferSize() const { return RequestedBufferSize_; }
  // Clamped to 2..4.
  int32_t NumBuffers() const { return NumBuffers_; }
  void SetNumBuffers(int32_t value);
  int32_t FrameRate() const { return static_cast<int32_t>(WaveFormat_.nSamplesPerSec); }
  void SetFrameRate(int32_t value);
  bool Stereo() const { return WaveFormat_.nChannels == 2; }
  void SetStereo(bool value);
  // Below 8 becomes 8, above 8 becomes 16.
  uint16_t Quantization() const { return WaveFormat_.wBitsPerSample; }
  void SetQuantization(uint16_t value);

  TNotifyEvent OnStart;
  TNotifyEvent OnStop;

  const QString& ErrorMessage() const { return ErrorMessage_; }
  int32_t FilledCount() const { return FilledCount_; }
  int32_t QueuedCount() const { return QueuedCount_; }
  int32_t ProcessedCount() const { return ProcessedCount_; }
  bool Active() const { return Active_; }
  bool Feeding() const { return Feeding_; }
  int32_t NextIndex() const { return NextIndex_; }
  bool DeviceOpen() const { return DeviceOpen_; }
  const WAVEFORMATEX& WaveFormat() const { return WaveFormat_; }
  UINT DeviceId() const { return DeviceId_; }
  // The block store: header and block of a ring position (null where nothing is made).
  const WAVEHDR* Header(int index) const { return Headers_[static_cast<size_t>(index)]; }
  char* Buffer(int index) const { return Buffers_[static_cast<size_t>(index)]; }
  // The notification object of the latest open.
  QObject* CallbackWindow() const { return CallbackWindow_; }

  // Stop at once (the device is reset and closed) / stop giving blocks back, so that the
  // stream closes when what is queued has come back. Both only while the device is open.
  virtual void AbortStream();
  virtual void DrainStream();

 protected:
  friend class TCallBackWin;

  virtual void CloseDevice() = 0;
  // The direction's handling of a returned block (MM_WIM_DATA / MM_WOM_DONE).
  virtual void BlockReturned() = 0;

  virtual void ResetDevice() = 0;
  // The open steps both directions share: refused while open; the store made again if it is
  // missing or too small; NextIndex to 0; a new callback window of class Window (the
  // previous one goes once its device has announced its close); the device opened, the
  // headers set up and prepared and the counters zeroed.
  template <class Window, class Stream, class Handle>
  bool OpenDeviceWith(Stream** streamRef, Handle& device, const char* alreadyOpen,
                      MMRESULT (*open)(Handle*, UINT, const WAVEFORMATEX*, QObject*, DWORD_PTR,
                                       DWORD),
                      MMRESULT (*prepare)(Handle, WAVEHDR*, UINT), QString (*errorText)(MMRESULT));
  template <class Handle>
  void UnprepareHeaders(Handle device, MMRESULT (*unprepare)(Handle, WAVEHDR*, UINT));
  bool InitHeaders();
  // Gives the block at NextIndex to the device and moves NextIndex on; on failure the
  // device's text goes to ErrorMessage and the stream drains.
  template <class Handle>
  bool HandNextBlockTo(Handle device, MMRESULT (*queue)(Handle, WAVEHDR*, UINT),
                       QString (*errorText)(MMRESULT));
  QObject* WindowParent() { return parent() != nullptr ? parent() : this; }

  static QString OutputErrorText(MMRESULT code);
  static QString InputErrorText(MMRESULT code);

  int32_t BlockSize_ = 0;
  int32_t RequestedBufferSize_ = 8192;
  int32_t NumBuffers_ = 4;
  bool Paused_ = false;
  WAVEFORMATEX WaveFormat_{};
  UINT DeviceId_ = WAVE_MAPPER;
  int32_t NextIndex_ = 0;
  bool Feeding_ = false;
  QString ErrorMessage_;
  bool Active_ = false;
  int32_t FilledCount_ = 0;
  int32_t QueuedCount_ = 0;
  int32_t ProcessedCount_ = 0;
  bool DeviceOpen_ = false;
  TCallBackWin* CallbackWindow_ = nullptr;
  // Block size and ring length as set up at the latest open; a property written while the
  // device runs takes effect at the next open.
  int32_t OpenBlockSize_ = 0;
  int32_t OpenNumBuffers_ = 4;
  std::array<WAVEHDR*, kMaxBuffers> Headers_{};

 private:
  void HandleNotice(TCallBackWin* window, int notice);
  void UpdateFormat();
  bool AllocHeaders();
  void FreeHeaders();
  bool AllocBuffers();
  bool FreeBuffers();
  bool StoreReady() const;
  bool MakeStoreIfNeeded();

  // One piece of the store, allocated and locked: its address, or null with the message of
  // the step that failed in ErrorMessage (an allocated handle stays, for the free).
  void* MakeFixedMemory(HGLOBAL& handle, uint32_t flags, size_t bytes, const char* allocationFailed,
                        const char* lockFailed);
  void FreeFixedMemory(HGLOBAL& handle);

  GlobalMemory& Memory_;
  std::array<HGLOBAL, kMaxBuffers> HeaderHandles_{};
  std::array<char*, kMaxBuffers> Buffers_{};
  std::array<HGLOBAL, kMaxBuffers> BufferHandles_{};
  int32_t StoreBlockBytes_ = 0;  // size of each block made
};

class TAudioIn : public TAudioIO {
  Q_OBJECT

 public:
  explicit TAudioIn(QObject* owner, GlobalMemory& memory = processMemory())
      : TAudioIO(owner, memory) {}
  ~TAudioIn() override;

  TBufferEvent OnBufferFilled;

  bool Launch(TAudioIn** streamRef);
  HWAVEIN DeviceHandle() const { return DeviceHandle_; }

 protected:
  bool OpenDevice(TAudioIn** streamRef);
  bool BeginRecording();
  bool QueueNextBlock();
  virtual bool DeliverBlock(void* block, int32_t size);
  void CloseDevice() override;
  void ResetDevice() override;
  void BlockReturned() override;

 private:
  HWAVEIN DeviceHandle_ = nullptr;
};

class TAudioOut : public TAudioIO {
  Q_OBJECT

 public:
  explicit TAudioOut(QObject* owner, GlobalMemory& memory = processMemory())
      : TAudioIO(owner, memory) {}
  ~TAudioOut() override;

  bool Paused() const { return Paused_; }
  void SetPaused(bool value);
  TBufferEvent OnFillBuffer;

  bool Launch(TAudioOut** streamRef);
  HWAVEOUT DeviceHandle() const { return DeviceHandle_; }

 protected:
  bool OpenDevice(TAudioOut** streamRef);
  bool BeginPlayback();
  bool QueueNextBlock();
  virtual bool FillBlock(int32_t index, int32_t size);
  void CloseDevice() override;
  void ResetDevice() override;
  void BlockReturned() override;

 private:
  HWAVEOUT DeviceHandle_ = nullptr;
  // Blocks written and not yet returned: the device's own count, which decides when the
  // stream may close (QueuedCount counts accepted blocks, which can differ from it).
  int32_t BlocksWithDevice_ = 0;
};
