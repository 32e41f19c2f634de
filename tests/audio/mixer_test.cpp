// The mixer component: the device number and its check, the close of an open device with
// its tree of lines and controls, the events, and the mixer service's device count.

#include "mixer/Mixer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "AudioMixer.h"

using namespace osciloskop;

namespace {

// A machine with a given number of mixer devices that notes every device closed.
class RecordingMixers : public MixerService {
 public:
  UINT mixerGetNumDevs() override { return devices; }
  MMRESULT mixerClose(HMIXER hmx) override {
    const MMRESULT result = MixerService::mixerClose(hmx);
    if (result == MMSYSERR_NOERROR) closed.push_back(hmx);
    return result;
  }

  uint32_t devices = 0;
  std::vector<HMIXER> closed;
};

class MixerTest : public ::testing::Test {
 protected:
  RecordingMixers mixers;
  std::vector<HMIXER>& closed = mixers.closed;
};

std::unique_ptr<TMixerControl> Control(bool multipleItems, uint32_t itemCount, size_t stored) {
  auto control = std::make_unique<TMixerControl>();
  control->multipleItems = multipleItems;
  control->itemCount = itemCount;
  for (size_t i = 0; i < stored; ++i) control->items.push_back(std::make_unique<TMixerItem>());
  return control;
}

// Two destinations, the first with two source lines; every kind of control, and counts
// that the device reported larger than what was stored.
std::vector<std::unique_ptr<TMixerDestination>> Tree() {
  std::vector<std::unique_ptr<TMixerDestination>> tree;
  auto speakers = std::make_unique<TMixerDestination>();
  speakers->controlCount = 2;
  speakers->controls.push_back(Control(false, 1, 1));
  speakers->controls.push_back(Control(true, 4, 4));
  speakers->connectionCount = 2;
  for (int s = 0; s < 2; ++s) {
    auto source = std::make_unique<TMixerLine>();
    source->controlCount = 1;
    source->controls.push_back(Control(true, 3, 3));
    speakers->sources.push_back(std::move(source));
  }
  tree.push_back(std::move(speakers));
  auto recording = std::make_unique<TMixerDestination>();
  recording->controlCount = 3;                         // one stored
  recording->controls.push_back(Control(true, 9, 2));  // two of nine items stored
  recording->connectionCount = 1;                      // no source stored
  tree.push_back(std::move(recording));
  return tree;
}

std::array<uint32_t, TAudioMixer::kCachedValueCount> Values() {
  std::array<uint32_t, TAudioMixer::kCachedValueCount> values{};
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(100 + i);
  return values;
}

}  // namespace

TEST_F(MixerTest, MixerIdIsCheckedAgainstTheDeviceCount) {
  struct Case {
    uint32_t devices;
    bool designing;
    std::vector<uint32_t> writes;
    uint32_t expectedId;
    const char* error;  // of the last write; null: accepted or ignored
  };
  const Case cases[] = {
      {2, false, {1}, 1, nullptr},
      {2, false, {1, 2}, 1, "MixerID maximum for this machine: 1"},  // the old value stays
      {0, false, {0}, 0, "MixerID maximum for this machine: -1"},
      {1, false, {0}, 0, nullptr},
      {3, false, {0xFFFFFFFFu}, 0, "MixerID maximum for this machine: 2"},
      {0, true, {5}, 0, nullptr},  // the designer ignores a bad value
  };
  for (const Case& c : cases) {
    mixers.devices = c.devices;
    TAudioMixer mixer(nullptr, mixers);  // creation raises nothing, opens nothing
    mixer.SetDesigning(c.designing);
    EXPECT_EQ(mixer.DeviceCount(), c.devices);
    std::string error;
    for (const uint32_t value : c.writes) {
      try {
        mixer.SetMixerID(value);
      } catch (const EMixerID& e) {
        error = e.what();
      }
    }
    EXPECT_EQ(error, c.error ? c.error : "") << c.devices << " devices, " << c.writes.back();
    EXPECT_EQ(mixer.MixerID(), c.expectedId) << c.devices << " devices, " << c.writes.back();
    EXPECT_FALSE(mixer.IsOpen());
  }
  EXPECT_TRUE(closed.empty());
}

TEST_F(MixerTest, WritingTheIdClosesAnOpenDeviceAndDoesNotReopenIt) {
  mixers.devices = 2;
  for (const uint32_t written : {1u, 7u}) {
    closed.clear();
    TAudioMixer mixer(nullptr, mixers);
    mixer.AdoptOpenDevice(42, Tree(), Values());
    ASSERT_TRUE(mixer.IsOpen());
    ASSERT_EQ(mixer.DestinationCount(), 2u);
    if (written < 2) {
      mixer.SetMixerID(written);
    } else {
      EXPECT_THROW(mixer.SetMixerID(written), EMixerID);  // closed all the same
    }
    EXPECT_FALSE(mixer.IsOpen());
    EXPECT_EQ(closed, std::vector<HMIXER>{42});
    EXPECT_TRUE(mixer.Destinations().empty());
    EXPECT_EQ(mixer.DestinationCount(), 0u);
    mixer.SetMixerID(0);
    EXPECT_EQ(closed.size(), 1u) << "a closed device is not closed again";
  }
}

TEST_F(MixerTest, CloseClearsTheCachedValuesButTheSixteenthAndSeventeenth) {
  mixers.devices = 1;
  TAudioMixer mixer(nullptr, mixers);
  mixer.AdoptOpenDevice(3, Tree(), Values());
  mixer.SetMixerID(0);
  for (size_t i = 0; i < TAudioMixer::kCachedValueCount; ++i) {
    const uint32_t expected = (i == 15 || i == 16) ? Values()[i] : 0;
    EXPECT_EQ(mixer.CachedValues()[i], expected) << "word " << i + 1;
  }
}

TEST_F(MixerTest, DestructionClosesAnOpenDeviceOnly) {
  { TAudioMixer neverOpened(nullptr, mixers); }
  EXPECT_TRUE(closed.empty());
  {
    TAudioMixer open(nullptr, mixers);
    open.AdoptOpenDevice(9, Tree(), Values());
  }
  EXPECT_EQ(closed, std::vector<HMIXER>{9});
}

TEST_F(MixerTest, DispatchersCallTheAssignedEventsOnly) {
  TAudioMixer mixer(nullptr, mixers);
  mixer.DoMixerControlChange(1, 2, 3);  // nothing assigned: nothing happens
  mixer.DoMixerLineChange(1, 2);

  std::vector<std::string> calls;
  mixer.OnMixerControlChange = [&](QObject* sender, uint32_t D, uint32_t S, uint32_t C) {
    EXPECT_EQ(sender, &mixer);
    calls.push_back("control " + std::to_string(D) + " " + std::to_string(S) + " " +
                    std::to_string(C));
  };
  mixer.OnMixerLineChange = [&](QObject* sender, uint32_t D, uint32_t S) {
    EXPECT_EQ(sender, &mixer);
    calls.push_back("line " + std::to_string(D) + " " + std::to_string(S));
  };
  mixer.DoMixerControlChange(4, 5, 0xFFFFFFFFu);
  mixer.DoMixerLineChange(6, 7);
  EXPECT_EQ(calls, (std::vector<std::string>{"control 4 5 4294967295", "line 6 7"}));
}

TEST(MixerService, CountsTheSoundCardEntries) {
  struct Case {
    const char* text;
    uint32_t cards;
  };
  const Case cases[] = {
      {"", 0},
      {"--- no soundcards ---\n", 0},
      {" 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
       "                      HDA Intel PCH at 0xf7f10000 irq 32\n",
       1},
      {" 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
       "                      HDA Intel PCH at 0xf7f10000 irq 32\n"
       " 1 [Loopback       ]: Loopback - Loopback\n"
       "                      Loopback 1\n"
       "10 [Device         ]: USB-Audio - USB Audio Device\n"
       "                      Generic USB Audio Device at usb-0000:00:14.0-2, full speed",
       3},
  };
  for (const Case& c : cases) EXPECT_EQ(countSoundCardEntries(c.text), c.cards) << c.text;
}
