#pragma once

// A main-window stand-in that owns the stream components, on a simulated card with the
// manual clock.

#include <QObject>
#include <memory>

#include "AudioIO.h"
#include "WaveTestSupport.h"

class StreamTest : public SimulatedCardTest {
 protected:
  StreamTest() {
    setSource(0, "dc:1000");
    setSource(1, "dc:-2000");
  }
  ~StreamTest() override {
    delete AudioIn1;
    delete AudioOut1;
  }

  void setSource(int channel, const std::string& text) {
    std::string error;
    card.setSource(channel, osciloskop::parseSignalSource(text, error));
  }
  // Configured as the main window's form does: size first, then rate and channels.
  TAudioIn* makeInput() {
    AudioIn1 = new TAudioIn(&owner);
    AudioIn1->SetBufferSize(44100);
    AudioIn1->SetFrameRate(44100);
    AudioIn1->SetStereo(true);
    return AudioIn1;
  }
  TAudioOut* makeOutput() {
    AudioOut1 = new TAudioOut(&owner);
    AudioOut1->SetBufferSize(22000);
    AudioOut1->SetFrameRate(44100);
    return AudioOut1;
  }
  int callbackWindows() const {
    int count = 0;
    for (QObject* child : owner.children()) count += qobject_cast<TCallBackWin*>(child) != nullptr;
    return count;
  }
  static QString inputText(MMRESULT code) {
    char text[256];
    waveInGetErrorTextA(code, text, sizeof text);
    return QString::fromLatin1(text);
  }

  QObject owner;
  TAudioIn* AudioIn1 = nullptr;
  TAudioOut* AudioOut1 = nullptr;
};
