#pragma once

// TAudioMixer: the component that stands for one mixer device of the machine. It knows how
// many mixer devices there are, selects one by number (MixerID), keeps the tree of the
// device's lines and controls while the device is open, and reports line and control
// changes through two events. Opening a device and filling the tree are done by whoever
// holds the device: AdoptOpenDevice hands both to the component, which then owns them and
// releases them when it closes.

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "mixer/Mixer.h"

class TAudioMixer;

// A MixerID the machine has no device for.
class EMixerID : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Auxiliary object of the component; it only knows its component.
class TMixerMan {
 public:
  explicit TMixerMan(TAudioMixer& mixer) : mixer(mixer) {}
  TAudioMixer& Mixer() const { return mixer; }

 private:
  TAudioMixer& mixer;
};

struct TMixerItem {};

struct TMixerControl {
  bool multipleItems = false;
  uint32_t itemCount = 0;
  // With multipleItems, itemCount items; otherwise one, the first.
  std::vector<std::unique_ptr<TMixerItem>> items;
};

struct TMixerLine {
  uint32_t controlCount = 0;
  std::vector<std::unique_ptr<TMixerControl>> controls;
};

struct TMixerDestination : TMixerLine {
  uint32_t connectionCount = 0;
  std::vector<std::unique_ptr<TMixerLine>> sources;  // the source lines feeding it
};

using TMixerControlChangeEvent =
    std::function<void(QObject* Sender, uint32_t D, uint32_t S, uint32_t C)>;
using TMixerLineChangeEvent = std::function<void(QObject* Sender, uint32_t D, uint32_t S)>;

class TAudioMixer : public QObject {
  Q_OBJECT

 public:
  // Values kept while the device is open; a close clears all but the 16th and 17th.
  static constexpr size_t kCachedValueCount = 19;

  // Reads the number of mixer devices once from `mixers`, which it keeps using; selects
  // device 0 without checking it; opens nothing.
  explicit TAudioMixer(QObject* owner = nullptr, MixerService& mixers = systemMixers());
  ~TAudioMixer() override;

  uint32_t MixerID() const { return mixerId; }
  // Closes an open device first, whatever the value; then stores a value below the device
  // count, or raises EMixerID (outside the design state) and keeps the old one.
  void SetMixerID(uint32_t value);

  // While designing, an out-of-range MixerID is ignored instead of raised.
  bool Designing() const { return designing; }
  void SetDesigning(bool value) { designing = value; }

  TMixerControlChangeEvent OnMixerControlChange;
  TMixerLineChangeEvent OnMixerLineChange;

  virtual void DoMixerControlChange(uint32_t D, uint32_t S, uint32_t C);
  virtual void DoMixerLineChange(uint32_t D, uint32_t S);

  // Takes over a device opened elsewhere, with its tree of lines and the values kept
  // while it is open; the component closes and releases them.
  void AdoptOpenDevice(HMIXER handle, std::vector<std::unique_ptr<TMixerDestination>> tree,
                       const std::array<uint32_t, kCachedValueCount>& values);

  uint32_t DeviceCount() const { return deviceCount; }
  bool IsOpen() const { return isOpen; }
  HMIXER MixerHandle() const { return mixerHandle; }
  uint32_t DestinationCount() const { return destinationCount; }
  const std::vector<std::unique_ptr<TMixerDestination>>& Destinations() const {
    return destinations;
  }
  const std::array<uint32_t, kCachedValueCount>& CachedValues() const { return cachedValues; }
  const TMixerMan& Manager() const { return *manager; }

 private:
  void Close();

  MixerService& mixers;
  uint32_t deviceCount = 0;
  uint32_t mixerId = 0;
  std::unique_ptr<TMixerMan> manager;
  uint32_t destinationCount = 0;
  bool isOpen = false;
  HMIXER mixerHandle = 0;
  std::vector<std::unique_ptr<TMixerDestination>> destinations;
  std::array<uint32_t, kCachedValueCount> cachedValues{};
  bool designing = false;
};
