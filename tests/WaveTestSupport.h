#pragma once

// Shared by the wave layer and stream component tests: a simulated card with the manual
// clock installed as the backend for the life of a test, and delivery of posted events.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "wave/SimulatedCard.h"

// The whole microseconds that reach at least `seconds`: a time on a frame boundary, such as
// 128 / 44100 s, rounds up so that the frame is there; the rounding of a decimal such as
// 0.005 does not count.
inline std::chrono::microseconds wholeMicroseconds(double seconds) {
  return std::chrono::microseconds(static_cast<int64_t>(std::ceil(seconds * 1e6 - 1e-3)));
}

inline void deliverPostedEvents() {
  // Handlers may post again (a close after the last block), so deliver until quiet.
  for (int round = 0; round < 4; ++round) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

class SimulatedCardTest : public ::testing::Test {
 protected:
  SimulatedCardTest() { osciloskop::installWaveBackend(&card); }
  ~SimulatedCardTest() override {
    deliverPostedEvents();
    osciloskop::installWaveBackend(nullptr);
  }

  // Moves the card's clock on in small steps and delivers what it posts after each, as the
  // event loop would while the device runs.
  void run(double seconds) {
    for (auto left = wholeMicroseconds(seconds); left.count() > 0; left -= kStep) {
      card.advance(std::min(kStep, left));
      deliverPostedEvents();
    }
  }

  static constexpr std::chrono::microseconds kStep{5000};

  osciloskop::SimulatedCard card{osciloskop::SimulatedCard::ClockMode::Manual};
};

// Receives the notifications of a device opened directly through the wave functions.
class NotificationLog : public QObject {
 public:
  struct Entry {
    UINT message;
    WAVEHDR* header;
  };
  std::vector<Entry> entries;

  int count(UINT message) const {
    return static_cast<int>(
        std::count_if(entries.begin(), entries.end(),
                      [message](const Entry& e) { return e.message == message; }));
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() != WaveMessageEvent::eventType()) return QObject::event(e);
    const auto* message = static_cast<WaveMessageEvent*>(e);
    entries.push_back({message->message, message->header});
    return true;
  }
};

inline WAVEFORMATEX pcmFormat(uint16_t channels, uint16_t bits, uint32_t rate) {
  const auto align = static_cast<uint16_t>(channels * bits / 8);
  return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, align * rate, align, bits, 0};
}
