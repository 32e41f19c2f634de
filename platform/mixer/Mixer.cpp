#include "mixer/Mixer.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>

namespace osciloskop {

namespace {

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

}  // namespace osciloskop

MixerService& systemMixers() {
  class SystemMixers : public MixerService {
   public:
    UINT mixerGetNumDevs() override {
      std::ifstream cards("/proc/asound/cards");
      if (!cards) return 0;  // no ALSA on this machine: no mixer devices
      std::ostringstream text;
      text << cards.rdbuf();
      return osciloskop::countSoundCardEntries(text.str());
    }
  };
  static SystemMixers mixers;
  return mixers;
}
