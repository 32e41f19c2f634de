#include "AudioIO.h"

#include <QCoreApplication>

namespace {

constexpr int32_t kMinBufferSize = 512;
constexpr DWORD kOpenFlags = CALLBACK_WINDOW | WAVE_ALLOWSYNC;

// Flags of the store's memory: headers zero-filled, blocks not.
constexpr uint32_t kHeaderMemory = GMEM_SHARE | GMEM_ZEROINIT | GMEM_MOVEABLE;  // 0x2042
constexpr uint32_t kBlockMemory = GMEM_SHARE | GMEM_MOVEABLE;                   // 0x2002

QString ErrorText(MMRESULT (*getText)(MMRESULT, char*, UINT), MMRESULT code) {
  char text[256] = {};
  if (getText(code, text, sizeof text) != MMSYSERR_NOERROR)
    return QStringLiteral("Unknown wave error %1").arg(code);
  return QString::fromLatin1(text);
}

}  // namespace

// ---- callback windows ----

TCallBackWin::TCallBackWin(QObject* parent, const TAudioIO* issuer, UINT openMessage,
                           UINT closeMessage, UINT blockMessage)
    : QObject(parent),
      issuer_(issuer),
      openMessage_(openMessage),
      closeMessage_(closeMessage),
      blockMessage_(blockMessage) {}

bool TCallBackWin::event(QEvent* e) {
  if (e->type() != WaveMessageEvent::eventType()) return QObject::event(e);
  if (issuer_ == nullptr) return true;
  const UINT message = static_cast<WaveMessageEvent*>(e)->message;
  if (message == closeMessage_) awaitingClose_ = false;
  TAudioIO* stream = Stream();
  if (stream != nullptr) {
    if (message == openMessage_) stream->HandleNotice(this, Opened);
    if (message == closeMessage_) stream->HandleNotice(this, Closed);
    if (message == blockMessage_) stream->HandleNotice(this, BlockReturned);
  }
  if (issuer_ == nullptr) return true;  // a handler destroyed the stream
  // A window of an earlier open goes once its device has nothing more to announce.
  if (!awaitingClose_ && (stream == nullptr || stream->CallbackWindow() != this)) deleteLater();
  return true;
}

TCallBackWinIn::TCallBackWinIn(QObject* parent, const TAudioIO* issuer)
    : TCallBackWin(parent, issuer, MM_WIM_OPEN, MM_WIM_CLOSE, MM_WIM_DATA) {}

TAudioIO* TCallBackWinIn::Stream() const {
  return StreamRef != nullptr ? *StreamRef : nullptr;
}

TCallBackWinOut::TCallBackWinOut(QObject* parent, const TAudioIO* issuer)
    : TCallBackWin(parent, issuer, MM_WOM_OPEN, MM_WOM_CLOSE, MM_WOM_DONE) {}

TAudioIO* TCallBackWinOut::Stream() const {
  return StreamRef != nullptr ? *StreamRef : nullptr;
}

// ---- common base ----

TAudioIO::TAudioIO(QObject* owner, GlobalMemory& memory) : QObject(owner), Memory_(memory) {
  WaveFormat_.wFormatTag = WAVE_FORMAT_PCM;
  WaveFormat_.wBitsPerSample = 16;
  WaveFormat_.nChannels = 1;
  WaveFormat_.nSamplesPerSec = 22050;
  UpdateFormat();
  // A failure leaves its message in ErrorMessage; the next open or BufferSize write tries again.
  AllocHeaders();
  AllocBuffers();
}

TAudioIO::~TAudioIO() {
  // The subclass has stopped its device by now. Windows of this stream may still get
  // notifications already posted; they ignore them and go with the event loop.
  for (QObject* child : WindowParent()->children()) {
    auto* window = qobject_cast<TCallBackWin*>(child);
    if (window != nullptr && window->Issuer() == this) {
      window->Detach();
      window->deleteLater();
    }
  }
  FreeBuffers();
  FreeHeaders();
}

void TAudioIO::SetBufferSize(int32_t value) {
  RequestedBufferSize_ = value < kMinBufferSize ? kMinBufferSize : value;
  UpdateFormat();
  // Blocks a running device uses stay until it closes; the next open makes them again.
  if (DeviceOpen_) return;
  FreeBuffers();
  AllocBuffers();
}

void TAudioIO::SetNumBuffers(int32_t value) {
  NumBuffers_ = std::clamp(value, 2, kMaxBuffers);
}

void TAudioIO::SetFrameRate(int32_t value) {
  WaveFormat_.nSamplesPerSec = static_cast<uint32_t>(value);
  UpdateFormat();
}

void TAudioIO::SetStereo(bool value) {
  WaveFormat_.nChannels = value ? 2 : 1;
  UpdateFormat();
}

void TAudioIO::SetQuantization(uint16_t value) {
  WaveFormat_.wBitsPerSample = value <= 8 ? 8 : 16;
  UpdateFormat();
}

void TAudioIO::UpdateFormat() {
  WaveFormat_.nBlockAlign =
      static_cast<uint16_t>(WaveFormat_.wBitsPerSample / 8 * WaveFormat_.nChannels);
  WaveFormat_.nAvgBytesPerSec = WaveFormat_.nBlockAlign * WaveFormat_.nSamplesPerSec;
  BlockSize_ = RequestedBufferSize_ - RequestedBufferSize_ % WaveFormat_.nBlockAlign;
}

void* TAudioIO::MakeFixedMemory(HGLOBAL& handle, uint32_t flags, size_t bytes,
                                const char* allocationFailed, const char* lockFailed) {
  handle = Memory_.GlobalAlloc(flags, bytes);
  void* pointer = handle != nullptr ? Memory_.GlobalLock(handle) : nullptr;
  if (pointer == nullptr)
    ErrorMessage_ = QString::fromLatin1(handle != nullptr ? lockFailed : allocationFailed);
  return pointer;
}

void TAudioIO::FreeFixedMemory(HGLOBAL& handle) {
  if (handle == nullptr) return;
  Memory_.GlobalUnlock(handle);
  Memory_.GlobalFree(handle);
  handle = nullptr;
}

bool TAudioIO::AllocHeaders() {
  for (size_t i = 0; i < kMaxBuffers; ++i) {
    Headers_[i] = static_cast<WAVEHDR*>(MakeFixedMemory(
        HeaderHandles_[i], kHeaderMemory, sizeof(WAVEHDR), "Error allocating wave header memory",
        "Could not lock header memory for recording"));
    if (Headers_[i] == nullptr) {
      FreeHeaders();
      return false;
    }
  }
  return true;
}

void TAudioIO::FreeHeaders() {
  for (size_t i = 0; i < kMaxBuffers; ++i) {
    Headers_[i] = nullptr;
    FreeFixedMemory(HeaderHandles_[i]);
  }
}

// All four positions get a block of the requested size, which no later aligned block size
// can exceed, so raising NumBuffers or changing the format never leaves a used position
// without enough memory.
bool TAudioIO::AllocBuffers() {
  for (size_t i = 0; i < kMaxBuffers; ++i) {
    Buffers_[i] = static_cast<char*>(
        MakeFixedMemory(BufferHandles_[i], kBlockMemory, static_cast<size_t>(RequestedBufferSize_),
                        "Error allocating wave buffer memory", "Error Locking wave buffer memory"));
    if (Buffers_[i] == nullptr) {
      FreeBuffers();
      return false;
    }
    if (Headers_[i] != nullptr) Headers_[i]->lpData = Buffers_[i];
  }
  StoreBlockBytes_ = RequestedBufferSize_;
  return true;
}

bool TAudioIO::FreeBuffers() {
  bool released = false;
  for (size_t i = 0; i < kMaxBuffers; ++i) {
    released = released || BufferHandles_[i] != nullptr;
    Buffers_[i] = nullptr;
    FreeFixedMemory(BufferHandles_[i]);
  }
  StoreBlockBytes_ = 0;
  return released;
}

bool TAudioIO::StoreReady() const {
  for (size_t i = 0; i < kMaxBuffers; ++i)
    if (Headers_[i] == nullptr || Buffers_[i] == nullptr) return false;
  return StoreBlockBytes_ >= BlockSize_;
}

bool TAudioIO::InitHeaders() {
  OpenBlockSize_ = BlockSize_;
  OpenNumBuffers_ = NumBuffers_;
  for (size_t i = 0; i < static_cast<size_t>(OpenNumBuffers_); ++i)
    *Headers_[i] = WAVEHDR{Buffers_[i], static_cast<DWORD>(OpenBlockSize_), 0, 0, 0, 0, nullptr, 0};
  return true;
}

template <class Handle>
bool TAudioIO::HandNextBlockTo(Handle device, MMRESULT (*queue)(Handle, WAVEHDR*, UINT),
                               QString (*errorText)(MMRESULT)) {
  WAVEHDR* header = Headers_[static_cast<size_t>(NextIndex_)];
  // Exactly "prepared": the done and in-queue flags of the block's previous use go.
  header->dwFlags = WHDR_PREPARED;
  if (MMRESULT result = queue(device, header, sizeof(WAVEHDR))) {
    ErrorMessage_ = errorText(result);
    DrainStream();
    return false;
  }
  NextIndex_ = (NextIndex_ + 1) % OpenNumBuffers_;
  return true;
}

bool TAudioIO::MakeStoreIfNeeded() {
  if (StoreReady()) return true;
  FreeBuffers();
  if (Headers_[0] == nullptr && !AllocHeaders()) return false;
  return AllocBuffers();
}

template <class Window, class Stream, class Handle>
bool TAudioIO::OpenDeviceWith(Stream** streamRef, Handle& device, const char* alreadyOpen,
                              MMRESULT (*open)(Handle*, UINT, const WAVEFORMATEX*, QObject*,
                                               DWORD_PTR, DWORD),
                              MMRESULT (*prepare)(Handle, WAVEHDR*, UINT),
                              QString (*errorText)(MMRESULT)) {
  if (DeviceOpen_) {
    ErrorMessage_ = QString::fromLatin1(alreadyOpen);
    return false;
  }
  if (!MakeStoreIfNeeded()) return false;
  NextIndex_ = 0;
  auto* window = new Window(WindowParent(), this);
  window->StreamRef = streamRef;
  if (CallbackWindow_ != nullptr && !CallbackWindow_->AwaitingClose())
    CallbackWindow_->deleteLater();
  CallbackWindow_ = window;
  if (MMRESULT result = open(&device, DeviceId_, &WaveFormat_, window, 0, kOpenFlags)) {
    ErrorMessage_ = errorText(result);
    return false;
  }
  window->SetAwaitingClose(true);
  DeviceOpen_ = true;
  InitHeaders();
  for (size_t i = 0; i < static_cast<size_t>(OpenNumBuffers_); ++i) {
    if (MMRESULT result = prepare(device, Headers_[i], sizeof(WAVEHDR))) {
      ErrorMessage_ = errorText(result);
      CloseDevice();
      return false;
    }
  }
  QueuedCount_ = 0;
  ProcessedCount_ = 0;
  FilledCount_ = 0;
  Feeding_ = true;
  Active_ = true;
  return true;
}

template <class Handle>
void TAudioIO::UnprepareHeaders(Handle device, MMRESULT (*unprepare)(Handle, WAVEHDR*, UINT)) {
  for (size_t i = 0; i < static_cast<size_t>(OpenNumBuffers_); ++i)
    unprepare(device, Headers_[i], sizeof(WAVEHDR));
}

void TAudioIO::HandleNotice(TCallBackWin* window, int notice) {
  switch (notice) {
    case TCallBackWin::Opened:
      if (OnStart) OnStart(window);
      break;
    case TCallBackWin::Closed:
      if (OnStop) OnStop(window);
      break;
    case TCallBackWin::BlockReturned:
      // Blocks of an earlier open, or returned by a reset after the close, are not ours.
      if (window == CallbackWindow_ && DeviceOpen_) BlockReturned();
      break;
  }
}

void TAudioIO::AbortStream() {
  if (!DeviceOpen_) return;
  Active_ = false;
  Feeding_ = false;
  ResetDevice();
  CloseDevice();
}

void TAudioIO::DrainStream() {
  if (DeviceOpen_) Feeding_ = false;
}

QString TAudioIO::OutputErrorText(MMRESULT code) {
  return ErrorText(waveOutGetErrorTextA, code);
}

QString TAudioIO::InputErrorText(MMRESULT code) {
  return ErrorText(waveInGetErrorTextA, code);
}

// ---- input ----

TAudioIn::~TAudioIn() {
  AbortStream();
}

bool TAudioIn::Launch(TAudioIn** streamRef) {
  return OpenDevice(streamRef) && BeginRecording();
}

bool TAudioIn::OpenDevice(TAudioIn** streamRef) {
  return OpenDeviceWith<TCallBackWinIn>(streamRef, DeviceHandle_,
                                        "Wave Input device is already open", waveInOpen,
                                        waveInPrepareHeader, InputErrorText);
}

bool TAudioIn::BeginRecording() {
  if (MMRESULT result = waveInStart(DeviceHandle_)) {
    CloseDevice();
    ErrorMessage_ = QStringLiteral("Error starting wave record: ") + InputErrorText(result);
    return false;
  }
  Active_ = true;
  for (int i = 0; i < OpenNumBuffers_; ++i) {
    if (!QueueNextBlock()) {
      CloseDevice();
      return false;
    }
  }
  return true;
}

bool TAudioIn::QueueNextBlock() {
  const bool queued = HandNextBlockTo(DeviceHandle_, waveInAddBuffer, InputErrorText);
  if (queued) ++QueuedCount_;
  return queued;
}

// The handler reads the block in place; the size it leaves is of no consequence.
bool TAudioIn::DeliverBlock(void* block, int32_t size) {
  if (!Feeding_) return false;
  const bool result = OnBufferFilled ? OnBufferFilled(block, size) : true;
  if (result) ++FilledCount_;
  return result;
}

void TAudioIn::BlockReturned() {
  ++ProcessedCount_;
  --QueuedCount_;
  Active_ = QueuedCount_ > 0;
  if (DeliverBlock(Buffer(NextIndex_), OpenBlockSize_)) QueueNextBlock();
  if (!Active_) {
    Feeding_ = false;
    CloseDevice();
  }
}

void TAudioIn::CloseDevice() {
  Active_ = false;
  UnprepareHeaders(DeviceHandle_, waveInUnprepareHeader);
  waveInReset(DeviceHandle_);
  waveInClose(DeviceHandle_);
  DeviceOpen_ = false;
}

void TAudioIn::ResetDevice() {
  waveInReset(DeviceHandle_);
}

// ---- output ----

TAudioOut::~TAudioOut() {
  AbortStream();
}

bool TAudioOut::Launch(TAudioOut** streamRef) {
  return OpenDevice(streamRef) && BeginPlayback();
}

bool TAudioOut::OpenDevice(TAudioOut** streamRef) {
  if (!OpenDeviceWith<TCallBackWinOut>(streamRef, DeviceHandle_,
                                       "Wave output device is already open", waveOutOpen,
                                       waveOutPrepareHeader, OutputErrorText))
    return false;
  BlocksWithDevice_ = 0;
  if (!FillBlock(0, OpenBlockSize_)) {
    CloseDevice();
    ErrorMessage_ = QStringLiteral("There must be at least one filled buffer");
    return false;
  }
  for (int i = 1; i < OpenNumBuffers_; ++i) FillBlock(i, OpenBlockSize_);
  return true;
}

bool TAudioOut::BeginPlayback() {
  Active_ = true;
  // Paused before any block is written, so the device holds them without playing.
  if (Paused_) waveOutPause(DeviceHandle_);
  if (!QueueNextBlock()) {
    CloseDevice();
    return false;
  }
  for (int i = 1; i < OpenNumBuffers_; ++i) QueueNextBlock();
  return true;
}

bool TAudioOut::QueueNextBlock() {
  const bool written = HandNextBlockTo(DeviceHandle_, waveOutWrite, OutputErrorText);
  if (written) ++BlocksWithDevice_;
  return written;
}

// The length the handler leaves becomes the header's buffer length, kept within the block
// so that the device never reads outside it.
bool TAudioOut::FillBlock(int32_t index, int32_t size) {
  if (!Feeding_) return false;
  bool result = false;
  if (OnFillBuffer) {
    int32_t length = size;
    result = OnFillBuffer(Buffer(index), length);
    Headers_[static_cast<size_t>(index)]->dwBufferLength =
        static_cast<DWORD>(std::clamp(length, 0, OpenBlockSize_));
  }
  if (result) ++FilledCount_;
  QueuedCount_ = FilledCount_ - ProcessedCount_;
  return result;
}

void TAudioOut::BlockReturned() {
  ++ProcessedCount_;
  QueuedCount_ = FilledCount_ - ProcessedCount_;
  --BlocksWithDevice_;
  Active_ = BlocksWithDevice_ > 0;
  // A block accepted by the notification that empties the device keeps the stream going.
  if (FillBlock(NextIndex_, OpenBlockSize_) && QueueNextBlock()) Active_ = true;
  if (!Active_) {
    Feeding_ = false;
    CloseDevice();
  }
}

void TAudioOut::SetPaused(bool value) {
  Paused_ = value;
  if (!Active_) return;
  if (value)
    waveOutPause(DeviceHandle_);
  else
    waveOutRestart(DeviceHandle_);
}

void TAudioOut::CloseDevice() {
  Active_ = false;
  SetPaused(false);
  UnprepareHeaders(DeviceHandle_, waveOutUnprepareHeader);
  waveOutClose(DeviceHandle_);
  DeviceOpen_ = false;
}

void TAudioOut::ResetDevice() {
  waveOutReset(DeviceHandle_);
}
