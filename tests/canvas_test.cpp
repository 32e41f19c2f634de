#include "Canvas.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <random>
#include <vector>

#include "ScreenPixels.h"

namespace {

using namespace screen_pixels;

struct Direction {
  const char* name;
  int dx;
  int dy;
};

class LineEndPoint : public ::testing::TestWithParam<Direction> {};

// A line paints max(|dx|, |dy|) pixels from the start towards the end point, the end point
// itself excluded, one pixel per step of the major axis, each within half a pixel of the
// exact line; a zero-length line paints its one point.
TEST_P(LineEndPoint, PaintsFromStartUpToButExcludingEnd) {
  const Direction d = GetParam();
  QImage image = BlackImage(41, 41);
  Canvas canvas(image);
  canvas.SetPenColor(kAqua);
  canvas.MoveTo(20, 20);
  canvas.LineTo(20 + d.dx, 20 + d.dy);

  const std::vector<Pixel> pixels = PixelsOf(image, kAqua);
  const int n = std::max(std::abs(d.dx), std::abs(d.dy));
  ASSERT_EQ(static_cast<int>(pixels.size()), std::max(n, 1));
  EXPECT_EQ(image.pixel(20, 20), kAqua);
  if (n > 0) {
    EXPECT_EQ(image.pixel(20 + d.dx, 20 + d.dy), kBlack);
  }
  const bool xMajor = std::abs(d.dx) >= std::abs(d.dy);
  for (const Pixel& p : pixels) {
    const int major = xMajor ? (p.x - 20) * (d.dx < 0 ? -1 : 1) : (p.y - 20) * (d.dy < 0 ? -1 : 1);
    const double minorExact = n == 0 ? 0.0 : major * static_cast<double>(xMajor ? d.dy : d.dx) / n;
    const int minor = xMajor ? p.y - 20 : p.x - 20;
    EXPECT_GE(major, 0);
    EXPECT_LT(major, std::max(n, 1));
    EXPECT_LE(std::abs(minor - minorExact), 0.5) << p.x << "," << p.y;
  }

  // The pen stays at the end point: the next line starts there.
  canvas.SetPenColor(qRgb(255, 0, 0));
  canvas.LineTo(20 + d.dx, 20 + d.dy);
  EXPECT_EQ(image.pixel(20 + d.dx, 20 + d.dy), qRgb(255, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Directions, LineEndPoint,
    ::testing::Values(Direction{"East", 9, 0}, Direction{"West", -9, 0}, Direction{"South", 0, 9},
                      Direction{"North", 0, -9}, Direction{"SouthEast", 9, 9},
                      Direction{"NorthWest", -9, -9}, Direction{"NorthEast", 9, -9},
                      Direction{"SouthWest", -9, 9}, Direction{"ShallowEast", 9, 4},
                      Direction{"ShallowWest", -9, -4}, Direction{"SteepSouth", 4, 9},
                      Direction{"SteepNorth", -4, -9}, Direction{"HalfSlope", 8, -4},
                      Direction{"OneStep", 1, 1}, Direction{"ZeroLength", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Drawing the same polyline again in black removes every pixel it painted, whatever the
// directions and lengths of its segments.
TEST(Canvas, BlackTwinErasesEverySegment) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> coordinate(-40, 240);
  std::vector<Pixel> points(400);
  for (Pixel& p : points) p = {coordinate(random), coordinate(random)};
  QImage image = BlackImage(200, 200);
  Canvas canvas(image);
  for (const QRgb color : {kAqua, kBlack}) {
    canvas.SetPenColor(color);
    canvas.MoveTo(points[0].x, points[0].y);
    for (const Pixel& p : points) canvas.LineTo(p.x, p.y);
  }
  EXPECT_TRUE(PixelsOf(image, kAqua).empty());
}

// A line partly outside a small image paints exactly the pixels the same line paints in
// a larger image that holds it entirely.
TEST(Canvas, ClippingKeepsTheVisiblePixelsOfTheLine) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> coordinate(-300, 500);
  constexpr int kShift = 400;
  for (int trial = 0; trial < 400; ++trial) {
    const int x0 = coordinate(random), y0 = coordinate(random);
    const int x1 = coordinate(random), y1 = coordinate(random);
    QImage small = BlackImage(200, 150);
    QImage large = BlackImage(1200, 1200);
    Canvas smallCanvas(small), largeCanvas(large);
    for (Canvas* canvas : {&smallCanvas, &largeCanvas}) canvas->SetPenColor(kAqua);
    smallCanvas.MoveTo(x0, y0);
    smallCanvas.LineTo(x1, y1);
    largeCanvas.MoveTo(x0 + kShift, y0 + kShift);
    largeCanvas.LineTo(x1 + kShift, y1 + kShift);
    ASSERT_EQ(small, large.copy(kShift, kShift, 200, 150))
        << "(" << x0 << "," << y0 << ") -> (" << x1 << "," << y1 << ")";
  }
}

struct FarLine {
  const char* name;
  int x0, y0, x1, y1;
  std::vector<Pixel> (*expected)(int width, int height);
};

std::vector<Pixel> Nothing(int, int) {
  return {};
}
std::vector<Pixel> Row5(int width, int) {
  std::vector<Pixel> pixels;
  for (int x = 0; x < width; ++x) pixels.push_back({x, 5});
  return pixels;
}
std::vector<Pixel> Column5(int, int height) {
  std::vector<Pixel> pixels;
  for (int y = 0; y < height; ++y) pixels.push_back({5, y});
  return pixels;
}
std::vector<Pixel> Diagonal(int width, int height) {
  std::vector<Pixel> pixels;
  for (int k = 0; k < std::min(width, height); ++k) pixels.push_back({k, k});
  return pixels;
}
std::vector<Pixel> Row10From10(int width, int) {
  std::vector<Pixel> pixels;
  for (int x = 10; x < width - 1; ++x) pixels.push_back({x, 10});
  return pixels;
}

class FarLines : public ::testing::TestWithParam<FarLine> {};

// Coordinates far beyond the image, up to the limits of int, are clipped exactly and
// never paint outside the image.
TEST_P(FarLines, ClipWithoutPaintingOutside) {
  const FarLine line = GetParam();
  GuardedImage guarded(64, 48);
  Canvas canvas(guarded.Image());
  canvas.SetPenColor(kAqua);
  canvas.MoveTo(line.x0, line.y0);
  canvas.LineTo(line.x1, line.y1);
  EXPECT_TRUE(guarded.GuardIntact());
  std::vector<Pixel> expected = line.expected(64, 48);
  std::vector<Pixel> painted = PixelsOf(guarded.Image(), kAqua);
  auto order = [](const Pixel& a, const Pixel& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; };
  std::sort(expected.begin(), expected.end(), order);
  EXPECT_EQ(painted, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FarLines,
    ::testing::Values(FarLine{"HorizontalAcross", -1000000000, 5, 1000000000, 5, Row5},
                      FarLine{"HorizontalBackwards", INT_MAX, 5, INT_MIN, 5, Row5},
                      FarLine{"VerticalAcross", 5, INT_MAX, 5, INT_MIN, Column5},
                      FarLine{"FullDiagonal", INT_MIN, INT_MIN, INT_MAX, INT_MAX, Diagonal},
                      FarLine{"FullDiagonalBackwards", INT_MAX, INT_MAX, INT_MIN, INT_MIN,
                              Diagonal},
                      FarLine{"OffToTheLeft", INT_MIN, 0, INT_MIN, 40, Nothing},
                      FarLine{"MissesTheCorner", -100, 20, 20, -100, Nothing},
                      FarLine{"BelowAndRight", 64, 48, 300, 1000, Nothing},
                      FarLine{"PointOutside", -1, -1, -1, -1, Nothing},
                      FarLine{"PointPastTheCorner", 64, 48, 64, 48, Nothing},
                      FarLine{"EndOnTheLastColumn", 10, 10, 63, 10, Row10From10}),
    [](const auto& info) { return std::string(info.param.name); });

// Texts stand with their top-left corner at the given point, in the font colour only,
// and a text drawn again in another colour paints the same pixels in the new colour.
TEST(Canvas, TextOutAtTopLeftInFontColour) {
  GuardedImage guarded(160, 60);
  Canvas canvas(guarded.Image());
  canvas.SetFontColor(qRgb(255, 255, 0));
  canvas.TextOut(100, 30, "20");
  const std::vector<Pixel> yellow = PixelsOf(guarded.Image(), qRgb(255, 255, 0));
  ASSERT_FALSE(yellow.empty());
  int top = INT_MAX, left = INT_MAX, bottom = 0, right = 0;
  for (const Pixel& p : yellow) {
    top = std::min(top, p.y), left = std::min(left, p.x);
    bottom = std::max(bottom, p.y), right = std::max(right, p.x);
  }
  EXPECT_GE(top, 30);
  EXPECT_LE(top, 35);
  EXPECT_GE(left, 100);
  EXPECT_LE(left, 102);
  EXPECT_LE(bottom, 30 + 13);  // about 11 px high
  EXPECT_LE(right, 100 + 16);  // two digits
  EXPECT_EQ(yellow.size() + PixelsOf(guarded.Image(), kBlack).size(), 160u * 60u);

  canvas.SetFontColor(qRgb(255, 255, 255));
  canvas.TextOut(100, 30, QStringLiteral("20"));
  EXPECT_EQ(PixelsOf(guarded.Image(), qRgb(255, 255, 255)), yellow);
  EXPECT_TRUE(PixelsOf(guarded.Image(), qRgb(255, 255, 0)).empty());

  // Texts hanging over any edge are clipped.
  for (const Pixel at : {Pixel{-5, -5}, Pixel{150, 55}, Pixel{-20, 55}, Pixel{150, -8}}) {
    canvas.TextOut(at.x, at.y, "100.0");
  }
  EXPECT_TRUE(guarded.GuardIntact());
}

TEST(Canvas, TextOutRendersNonAsciiText) {
  QImage viaQString = BlackImage(80, 20), viaUtf8 = BlackImage(80, 20);
  Canvas a(viaQString), b(viaUtf8);
  a.SetFontColor(kAqua);
  b.SetFontColor(kAqua);
  a.TextOut(2, 2, QStringLiteral("ěščř"));
  b.TextOut(2, 2, std::string_view("ěščř"));
  EXPECT_FALSE(PixelsOf(viaQString, kAqua).empty());
  EXPECT_EQ(viaQString, viaUtf8);
}

}  // namespace
