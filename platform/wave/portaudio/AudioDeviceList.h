#pragma once

// The sound devices a real card backend offers, as plain data: choosing one from a
// command-line argument and printing the list. Nothing here talks to a device, so the
// choice and the texts can be checked against any list.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace osciloskop {

struct AudioDeviceInfo {
  int index = -1;  // the backend's own device number
  std::string name;
  int maxInputChannels = 0;
  int maxOutputChannels = 0;
  double defaultSampleRate = 0;
};

enum class AudioDirection { Input, Output };

// The frame rate and channel count a device stream runs at.
struct DeviceShape {
  uint32_t rate;
  unsigned channels;
  bool operator==(const DeviceShape&) const = default;
};

// The shapes to open a device with, best first: the blocks' own rate and channels, then the
// device's default rate and the common rates, then other channel counts (the backend
// converts between them and the blocks). Only channel counts the device has.
std::vector<DeviceShape> deviceShapesToTry(uint32_t rate, unsigned channels, int maxChannels,
                                           double defaultRate);

// The device that `wanted` names for the direction: a device number (by index only), or a
// case-insensitive part of the name (an exact name wins over a partial match, then the
// first device in the list). Only devices with channels in that direction count.
// Returns the device's index, or -1 with *error set to a text that lists the devices.
int chooseAudioDevice(const std::vector<AudioDeviceInfo>& devices, AudioDirection direction,
                      std::string_view wanted, std::string* error);

// Input devices, then output devices, one line each (number, name, channels, default rate),
// the defaults marked with '*'; a direction without devices says "none".
void writeAudioDeviceList(std::ostream& out, const std::vector<AudioDeviceInfo>& devices,
                          int defaultInput, int defaultOutput);

}  // namespace osciloskop
