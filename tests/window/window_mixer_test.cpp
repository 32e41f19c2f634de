// The window's mixer component: one, closed, made with the mixer service the window is
// given, and gone with the window.

#include <gtest/gtest.h>

#include <QPointer>

#include "AudioMixer.h"
#include "TForm1.h"

TEST(WindowMixer, TheWindowOwnsOneClosedMixer) {
  FixedMixers mixers(0);  // a machine without mixers: the window still opens
  QPointer<TAudioMixer> mixer;
  {
    TForm1 window(nullptr, TForm1::CycleMode::UntilSettled, mixers);
    mixer = window.AudioMixer1;
    ASSERT_TRUE(mixer);
    EXPECT_EQ(mixer->parent(), &window);
    EXPECT_EQ(mixer->MixerID(), 0u);
    EXPECT_FALSE(mixer->IsOpen());
    EXPECT_EQ(mixer->DeviceCount(), 0u) << "the count comes from the service it was given";
  }
  EXPECT_FALSE(mixer);  // destroyed with the window
}
