#include "wave/portaudio/AudioDeviceList.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <ostream>
#include <sstream>

namespace osciloskop {

namespace {

int channelsFor(const AudioDeviceInfo& device, AudioDirection direction) {
  return direction == AudioDirection::Input ? device.maxInputChannels : device.maxOutputChannels;
}

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

// A whole-string decimal number, or -1.
int parseIndex(std::string_view text) {
  int value = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty() ? value : -1;
}

void writeSection(std::ostream& out, const std::vector<AudioDeviceInfo>& devices,
                  AudioDirection direction, int defaultIndex) {
  out << (direction == AudioDirection::Input ? "Input devices:" : "Output devices:");
  bool any = false;
  for (const AudioDeviceInfo& device : devices) {
    const int channels = channelsFor(device, direction);
    if (channels <= 0) continue;
    any = true;
    out << "\n  " << (device.index == defaultIndex ? '*' : ' ') << ' ' << device.index << "  "
        << device.name << " (" << channels << (channels == 1 ? " channel, " : " channels, ")
        << device.defaultSampleRate << " Hz)";
  }
  out << (any ? "\n" : " none\n");
}

}  // namespace

int chooseAudioDevice(const std::vector<AudioDeviceInfo>& devices, AudioDirection direction,
                      std::string_view wanted, std::string* error) {
  const int wantedIndex = parseIndex(wanted);
  const std::string wantedName = lowerCase(wanted);
  const AudioDeviceInfo* partial = nullptr;
  // A number names a device by its index only, never a part of a name.
  for (const AudioDeviceInfo& device : devices) {
    if (channelsFor(device, direction) <= 0) continue;
    if (wantedIndex >= 0) {
      if (device.index == wantedIndex) return device.index;
      continue;
    }
    const std::string name = lowerCase(device.name);
    if (name == wantedName) return device.index;
    if (!partial && !wantedName.empty() && name.find(wantedName) != std::string::npos)
      partial = &device;
  }
  if (partial) return partial->index;

  std::ostringstream text;
  text << "no " << (direction == AudioDirection::Input ? "input" : "output") << " device matches \""
       << wanted << "\"\n";
  writeSection(text, devices, direction, -1);
  *error = text.str();
  return -1;
}

void writeAudioDeviceList(std::ostream& out, const std::vector<AudioDeviceInfo>& devices,
                          int defaultInput, int defaultOutput) {
  writeSection(out, devices, AudioDirection::Input, defaultInput);
  writeSection(out, devices, AudioDirection::Output, defaultOutput);
}

std::vector<DeviceShape> deviceShapesToTry(uint32_t rate, unsigned channels, int maxChannels,
                                           double defaultRate) {
  std::vector<uint32_t> rates = {rate};
  if (defaultRate >= 1) rates.push_back(static_cast<uint32_t>(std::lround(defaultRate)));
  for (uint32_t common :
       {48000u, 44100u, 96000u, 88200u, 32000u, 22050u, 16000u, 11025u, 8000u, 192000u})
    rates.push_back(common);
  std::vector<unsigned> channelCounts = {channels, 2, 1};
  if (maxChannels > 0) channelCounts.push_back(static_cast<unsigned>(maxChannels));

  std::vector<DeviceShape> shapes;
  for (unsigned count : channelCounts) {
    if (maxChannels > 0 && count > static_cast<unsigned>(maxChannels)) continue;
    for (uint32_t r : rates) {
      const DeviceShape shape{r, count};
      if (std::find(shapes.begin(), shapes.end(), shape) == shapes.end()) shapes.push_back(shape);
    }
  }
  return shapes;
}

}  // namespace osciloskop
