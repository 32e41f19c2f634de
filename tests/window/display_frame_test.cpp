// The window's display frame: what DrawGrid and DrawDisplay put on the window's screen.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <cmath>
#include <vector>

#include "ChannelFields.h"
#include "ScreenPixels.h"
#include "ScreenWidget.h"
#include "TForm1.h"

using namespace osciloskop;

namespace {

using namespace screen_pixels;

constexpr QRgb kGrey = qRgb(100, 100, 100);
constexpr QRgb kYellow = qRgb(255, 255, 0);
constexpr int kBlockFrames = 11025;  // channel entries a standard block fills

// A standard capture block: 11025 stereo frames of sines, UR first, UL second.
void HandOff(TForm1& window, double ulAmplitude, double urAmplitude) {
  std::vector<int16_t> block(22050);
  for (int k = 0; k < kBlockFrames; ++k) {
    const double phase = 2 * M_PI * 1000 * k / 44100;
    block[2 * k] = static_cast<int16_t>(std::nearbyint(urAmplitude * std::cos(phase)));
    block[2 * k + 1] = static_cast<int16_t>(std::nearbyint(ulAmplitude * std::sin(phase)));
  }
  int32_t size = static_cast<int32_t>(block.size() * sizeof(int16_t));
  window.AudioIn1BufferFilled(block.data(), size);
}

// The window's frames draw grid, scale and trace on its screen and report each frame once;
// with the UR range list on its off item the UR side keeps the values of the last run.
TEST(DisplayFrame, DrawsOnTheWindowAndSkipsUrWhenOff) {
  TForm1 window;
  window.show();
  window.SetClientHeight(525);
  HandOff(window, 3000, 3000);
  int frames = 0;
  window.onDisplayFrame = [&] { ++frames; };
  for (int frame = 0; frame < 3; ++frame) {
    window.State().urStart = 1;
    window.DrawGrid();
    window.DrawDisplay();
  }
  EXPECT_EQ(frames, 3);
  const QImage& image = window.Screen()->image();
  EXPECT_EQ(image.pixel(200, 262 - 20), kGrey);
  EXPECT_EQ(image.pixel(404, 262 - 2), kYellow);
  EXPECT_FALSE(PixelsOf(image, kAqua).empty());
  EXPECT_EQ(window.canvas().PenColor(), kAqua);
  EXPECT_EQ(window.State().ulStart, 0);

  const SampleArray urBefore = window.State().urSamples;
  window.ComboBox3->setCurrentIndex(13);
  HandOff(window, 2000, 0);
  window.DrawDisplay();
  EXPECT_EQ(window.State().urSamples, urBefore);
  EXPECT_EQ(window.State().ulSamples[1], std::nearbyint(2000 * std::sin(2 * M_PI * 1000 / 44100)));
  window.ComboBox3->setCurrentIndex(0);
  window.DrawDisplay();
  EXPECT_EQ(window.State().urSamples[1], 0);
}

}  // namespace
