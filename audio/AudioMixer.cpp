#include "AudioMixer.h"

#include <algorithm>
#include <string>

namespace {

// Frees a control's items in index order (all counted ones, or only the first when the
// control has a single item), then the control. The counts are the device's; the loops
// stay within what was actually stored.
void ReleaseControl(std::unique_ptr<TMixerControl>& control) {
  if (!control) return;
  const size_t counted = control->multipleItems ? control->itemCount : 1;
  const size_t itemsToFree = std::min(counted, control->items.size());
  for (size_t i = 0; i < itemsToFree; ++i) control->items[i].reset();
  control->items.clear();
  control.reset();
}

void ReleaseControls(TMixerLine& line) {
  const size_t controlsToFree = std::min<size_t>(line.controlCount, line.controls.size());
  for (size_t c = 0; c < controlsToFree; ++c) ReleaseControl(line.controls[c]);
  line.controls.clear();
}

}  // namespace

TAudioMixer::TAudioMixer(QObject* owner, MixerService& mixers)
    : QObject(owner),
      mixers(mixers),
      deviceCount(mixers.mixerGetNumDevs()),
      manager(std::make_unique<TMixerMan>(*this)) {}

TAudioMixer::~TAudioMixer() {
  Close();
}

void TAudioMixer::SetMixerID(uint32_t value) {
  Close();
  if (value < deviceCount) {
    mixerId = value;
    return;
  }
  if (designing) return;
  throw EMixerID("MixerID maximum for this machine: " +
                 std::to_string(static_cast<int32_t>(deviceCount - 1)));
}

void TAudioMixer::DoMixerControlChange(uint32_t D, uint32_t S, uint32_t C) {
  if (OnMixerControlChange) OnMixerControlChange(this, D, S, C);
}

void TAudioMixer::DoMixerLineChange(uint32_t D, uint32_t S) {
  if (OnMixerLineChange) OnMixerLineChange(this, D, S);
}

void TAudioMixer::AdoptOpenDevice(HMIXER handle,
                                  std::vector<std::unique_ptr<TMixerDestination>> tree,
                                  const std::array<uint32_t, kCachedValueCount>& values) {
  Close();
  mixerHandle = handle;
  isOpen = true;
  destinations = std::move(tree);
  destinationCount = static_cast<uint32_t>(destinations.size());
  cachedValues = values;
}

void TAudioMixer::Close() {
  if (!isOpen) return;
  mixers.mixerClose(mixerHandle);
  isOpen = false;

  const size_t destinationsToFree = std::min<size_t>(destinationCount, destinations.size());
  for (size_t d = 0; d < destinationsToFree; ++d) {
    std::unique_ptr<TMixerDestination>& destination = destinations[d];
    if (!destination) continue;
    const size_t sourcesToFree =
        std::min<size_t>(destination->connectionCount, destination->sources.size());
    for (size_t s = 0; s < sourcesToFree; ++s) {
      if (!destination->sources[s]) continue;
      ReleaseControls(*destination->sources[s]);
      destination->sources[s].reset();
    }
    ReleaseControls(*destination);
    destination->sources.clear();
    destination.reset();
  }
  destinations.clear();
  destinationCount = 0;

  // The 16th and 17th words outlive the close.
  for (size_t i = 0; i < kCachedValueCount; ++i) {
    if (i != 15 && i != 16) cachedValues[i] = 0;
  }
}
