#pragma once

// The mixer service the mixer component calls, with the names of the classic multimedia
// mixer interface. Only the device count and the close are offered: nothing in the program
// opens a mixer device. The window is given the service it uses: the machine's, or one
// with a given number of devices (the command line's --mixer-devices, and tests).

#include <cstdint>
#include <string_view>

#include "wave/WaveApi.h"

using HMIXER = uintptr_t;  // 0 is no device

class MixerService {
 public:
  virtual ~MixerService() = default;
  virtual UINT mixerGetNumDevs() = 0;
  // Closes an open mixer device: MMSYSERR_INVALHANDLE for the null handle.
  virtual MMRESULT mixerClose(HMIXER hmx) {
    return hmx == 0 ? MMSYSERR_INVALHANDLE : MMSYSERR_NOERROR;
  }
};

// The machine's mixers: one per sound card listed in /proc/asound/cards (each ALSA card has
// one mixer); none without ALSA.
MixerService& systemMixers();

// A machine with `count` mixer devices.
class FixedMixers : public MixerService {
 public:
  explicit FixedMixers(uint32_t count) : count_(count) {}
  UINT mixerGetNumDevs() override { return count_; }

 private:
  uint32_t count_;
};

// The number of cards listed in the text of /proc/asound/cards: one entry per card, each
// starting with the card's number and its bracketed id (" 0 [PCH   ]: HDA-Intel - ...");
// the continuation lines and the "--- no soundcards ---" line are not entries.
namespace osciloskop {
uint32_t countSoundCardEntries(std::string_view cardsText);
}  // namespace osciloskop
