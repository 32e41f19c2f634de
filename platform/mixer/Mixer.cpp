#include "mixer/Mixer.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::optional<uint32_t> deviceCountOverride;
std::function<void(HMIXER)> closeObserver;

bool isSoundCardEntry(std::string_view line) {
  size_t i = line.find_first_not_of(' ');
  if (i == std::string_view::npos || !std::isdigit(static_cast<unsigned char>(line[i])))
    return false;
  while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
  return line.substr(i).starts_with(" [");
}

}  // namespace

uint32_t countSoundCardEntries(std::string_view cardsText) {
  uint32_t count = 0;
  while (!cardsText.empty()) {
    const size_t end = cardsText.find('\n');
    if (isSoundCardEntry(cardsText.substr(0, end))) ++count;
    if (end == std::string_view::npos) break;
    cardsText.remove_prefix(end + 1);
  }
  return count;
}

UINT mixerGetNumDevs() {
  if (deviceCountOverride) return *deviceCountOverride;
  std::ifstream cards("/proc/asound/cards");
  if (!cards) return 0;  // no ALSA on this machine: no mixer devices
  std::ostringstream text;
  text << cards.rdbuf();
  return countSoundCardEntries(text.str());
}

MMRESULT mixerClose(HMIXER hmx) {
  if (hmx == 0) return MMSYSERR_INVALHANDLE;
  if (closeObserver) closeObserver(hmx);
  return MMSYSERR_NOERROR;
}

void setMixerDeviceCountOverride(std::optional<uint32_t> count) {
  deviceCountOverride = count;
}

void setMixerCloseObserver(std::function<void(HMIXER)> observer) {
  closeObserver = std::move(observer);
}
