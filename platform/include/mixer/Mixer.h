#pragma once

// The mixer service the mixer component calls, with the names of the classic multimedia
// mixer interface. Only the device count and the close are offered: nothing in the program
// opens a mixer device.
//
// The device count is the number of sound cards the system lists in /proc/asound/cards
// (each ALSA card has one mixer), or a count forced for tests and by the command line.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "wave/WaveApi.h"

using HMIXER = uintptr_t;  // 0 is no device

UINT mixerGetNumDevs();
// Closes an open mixer device: MMSYSERR_INVALHANDLE for the null handle.
MMRESULT mixerClose(HMIXER hmx);

// Forces the count mixerGetNumDevs reports (no value: count the machine's cards again).
void setMixerDeviceCountOverride(std::optional<uint32_t> count);

// Called with every handle mixerClose accepts; lets tests see that a device was closed.
void setMixerCloseObserver(std::function<void(HMIXER)> observer);

// The number of cards listed in the text of /proc/asound/cards: one entry per card, each
// starting with the card's number and its bracketed id (" 0 [PCH   ]: HDA-Intel - ...");
// the continuation lines and the "--- no soundcards ---" line are not entries.
uint32_t countSoundCardEntries(std::string_view cardsText);
