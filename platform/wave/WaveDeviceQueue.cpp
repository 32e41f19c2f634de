#include "wave/WaveDeviceQueue.h"

#include <QCoreApplication>
#include <algorithm>

namespace osciloskop {

void WaveDeviceQueue::open(const WAVEFORMATEX& format, QObject* callback) {
  open_ = true;
  lost_ = false;
  running_ = direction_ == WaveDirection::Out;
  callback_ = callback;
  format_ = format;
  head_ = 0;
  count_ = 0;
  offset_ = 0;
  post(direction_ == WaveDirection::In ? MM_WIM_OPEN : MM_WOM_OPEN, nullptr);
}

void WaveDeviceQueue::close() {
  post(direction_ == WaveDirection::In ? MM_WIM_CLOSE : MM_WOM_CLOSE, nullptr);
  open_ = false;
  running_ = false;
  callback_ = nullptr;
}

MMRESULT WaveDeviceQueue::add(WAVEHDR* header) {
  if (count_ == kCapacity) return MMSYSERR_NOMEM;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  header->dwBytesRecorded = 0;
  ring_[(head_ + count_) % kCapacity] = header;
  if (count_ == 0) offset_ = 0;
  ++count_;
  return MMSYSERR_NOERROR;
}

char* WaveDeviceQueue::cursor() const {
  return count_ > 0 ? ring_[head_]->lpData + offset_ : nullptr;
}

uint32_t WaveDeviceQueue::remaining() const {
  return count_ > 0 ? ring_[head_]->dwBufferLength - offset_ : 0;
}

void WaveDeviceQueue::advance(uint32_t bytes) {
  if (count_ == 0) return;
  offset_ += std::min(bytes, remaining());
  if (direction_ == WaveDirection::In) ring_[head_]->dwBytesRecorded = offset_;
  const uint32_t frame = format_.nBlockAlign > 0 ? format_.nBlockAlign : 1;
  while (count_ > 0 && remaining() < frame) returnOldest();
}

void WaveDeviceQueue::returnAll() {
  while (count_ > 0) returnOldest();
}

void WaveDeviceQueue::lose() {
  lost_ = true;
  running_ = false;
  returnAll();
}

void WaveDeviceQueue::returnOldest() {
  if (count_ == 0) return;
  WAVEHDR* header = ring_[head_];
  header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  head_ = (head_ + 1) % kCapacity;
  --count_;
  offset_ = 0;
  post(direction_ == WaveDirection::In ? MM_WIM_DATA : MM_WOM_DONE, header);
}

void WaveDeviceQueue::post(UINT message, WAVEHDR* header) {
  if (callback_ != nullptr)
    QCoreApplication::postEvent(callback_, new WaveMessageEvent(message, handle(), header));
}

}  // namespace osciloskop
