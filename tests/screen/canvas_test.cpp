#include "Canvas.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <random>
#include <string>
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
// itself excluded, one per step of the major axis, each within half a pixel of the exact
// line; a zero-length line paints its one point. The pen stays at the end point.
TEST_P(LineEndPoint, PaintsFromStartUpToButExcludingEnd) {
  const auto [name, dx, dy] = GetParam();
  QImage image = BlackImage(41, 41);
  Canvas canvas(image);
  canvas.SetPenColor(kAqua);
  canvas.MoveTo(20, 20);
  canvas.LineTo(20 + dx, 20 + dy);

  const std::vector<Pixel> pixels = PixelsOf(image, kAqua);
  const int n = std::max(std::abs(dx), std::abs(dy));
  ASSERT_EQ(static_cast<int>(pixels.size()), std::max(n, 1));
  EXPECT_EQ(image.pixel(20, 20), kAqua);
  const bool xMajor = std::abs(dx) >= std::abs(dy);
  for (const Pixel& p : pixels) {
    const int step = xMajor ? (p.x - 20) * (dx < 0 ? -1 : 1) : (p.y - 20) * (dy < 0 ? -1 : 1);
    const double exactMinor = n == 0 ? 0.0 : step * static_cast<double>(xMajor ? dy : dx) / n;
    EXPECT_TRUE(step >= 0 && step < std::max(n, 1)) << p.x << "," << p.y;
    EXPECT_LE(std::abs((xMajor ? p.y : p.x) - 20 - exactMinor), 0.5) << p.x << "," << p.y;
  }
  canvas.SetPenColor(kBlack);
  canvas.LineTo(20 + dx, 20 + dy);
  EXPECT_EQ(image.pixel(20 + dx, 20 + dy), kBlack);
  EXPECT_EQ(PixelsOf(image, kAqua).size(), n == 0 ? 0u : pixels.size());
}

INSTANTIATE_TEST_SUITE_P(
    Directions, LineEndPoint,
    ::testing::Values(Direction{"E", 9, 0}, Direction{"W", -9, 0}, Direction{"S", 0, 9},
                      Direction{"N", 0, -9}, Direction{"SE", 9, 9}, Direction{"NW", -9, -9},
                      Direction{"NE", 9, -9}, Direction{"SW", -9, 9}, Direction{"ShallowE", 9, 4},
                      Direction{"ShallowW", -9, -4}, Direction{"SteepS", 4, 9},
                      Direction{"SteepN", -4, -9}, Direction{"HalfSlope", 8, -4},
                      Direction{"OneStep", 1, 1}, Direction{"ZeroLength", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Drawing a polyline again in black removes every pixel it painted: no rounding state
// carries over from one segment to the next.
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
    QImage small = BlackImage(200, 150), large = BlackImage(1200, 1200);
    Canvas smallCanvas(small), largeCanvas(large);
    smallCanvas.SetPenColor(kAqua);
    largeCanvas.SetPenColor(kAqua);
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
  bool (*painted)(int x, int y);  // on the 64 x 48 image
};

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
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      ASSERT_EQ(guarded.Image().pixel(x, y) == kAqua, line.painted(x, y)) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FarLines,
    ::testing::Values(
        FarLine{"Across", -1000000000, 5, 1000000000, 5, [](int, int y) { return y == 5; }},
        FarLine{"Backwards", INT_MAX, 5, INT_MIN, 5, [](int, int y) { return y == 5; }},
        FarLine{"Vertical", 5, INT_MAX, 5, INT_MIN, [](int x, int) { return x == 5; }},
        FarLine{"Diagonal", INT_MIN, INT_MIN, INT_MAX, INT_MAX,
                [](int x, int y) { return x == y; }},
        FarLine{"DiagonalBack", INT_MAX, INT_MAX, INT_MIN, INT_MIN,
                [](int x, int y) { return x == y; }},
        FarLine{"OffLeft", INT_MIN, 0, INT_MIN, 40, [](int, int) { return false; }},
        FarLine{"PastCorner", -100, 20, 20, -100, [](int, int) { return false; }},
        FarLine{"BelowRight", 64, 48, 300, 1000, [](int, int) { return false; }},
        FarLine{"PointOutside", 64, 48, 64, 48, [](int, int) { return false; }},
        FarLine{"ToLastColumn", 10, 10, 63, 10,
                [](int x, int y) { return y == 10 && x >= 10 && x < 63; }}),
    [](const auto& info) { return std::string(info.param.name); });

// Long lines through a 64 x 48 image, with major lengths around the point where the
// rasterizer changes its stepping (2 n times the visible steps reaching 2^32): every
// visible pixel is the step's exact rounding floor((2 i m + n) / (2 n)), on both sides.
TEST(Canvas, LongLinesKeepTheExactRounding) {
  constexpr int kWidth = 64, kHeight = 48;
  // With n odd and m = 1, the centre step (n - 1) / 2 lies 1 / (2 n) below the next
  // integer: the closest call any rounding can have.
  for (const int64_t n : {(int64_t{1} << 20) + 7, (int64_t{1} << 25) - 1, int64_t{1} << 25,
                          (int64_t{1} << 25) + 1, (int64_t{1} << 31) - 1}) {
    for (const int64_t m : {int64_t{1}, n / 64 + 1, n / 7, n - 1, n}) {
      for (const bool xMajor : {true, false}) {
        for (const int majorSign : {1, -1}) {
          for (const int minorSign : {1, -1}) {
            SCOPED_TRACE(testing::Message() << "n " << n << " m " << m << " x-major " << xMajor
                                            << " signs " << majorSign << "," << minorSign);
            const auto minorOffset = [&](int64_t i) {
              return static_cast<int64_t>((__int128{2} * i * m + n) / (2 * n));
            };
            // Step n / 2 lies at the centre of the image.
            const int64_t majorStart = (xMajor ? 32 : 24) - majorSign * (n / 2);
            const int64_t minorStart = (xMajor ? 24 : 32) - minorSign * minorOffset(n / 2);
            const int64_t majorEnd = majorStart + majorSign * n;
            const int64_t minorEnd = minorStart + minorSign * m;

            QImage image = BlackImage(kWidth, kHeight), expected = BlackImage(kWidth, kHeight);
            Canvas canvas(image);
            canvas.SetPenColor(kAqua);
            if (xMajor) {
              canvas.MoveTo(static_cast<int>(majorStart), static_cast<int>(minorStart));
              canvas.LineTo(static_cast<int>(majorEnd), static_cast<int>(minorEnd));
            } else {
              canvas.MoveTo(static_cast<int>(minorStart), static_cast<int>(majorStart));
              canvas.LineTo(static_cast<int>(minorEnd), static_cast<int>(majorEnd));
            }
            const int majorLimit = xMajor ? kWidth : kHeight;
            const int minorLimit = xMajor ? kHeight : kWidth;
            for (int major = 0; major < majorLimit; ++major) {
              const int64_t i = (major - majorStart) * majorSign;
              if (i < 0 || i >= n) continue;
              const int64_t minor = minorStart + minorSign * minorOffset(i);
              if (minor < 0 || minor >= minorLimit) continue;
              const int at = static_cast<int>(minor);
              expected.setPixel(xMajor ? major : at, xMajor ? at : major, kAqua);
            }
            ASSERT_FALSE(PixelsOf(expected, kAqua).empty());
            ASSERT_EQ(PixelsOf(image, kAqua), PixelsOf(expected, kAqua));
          }
        }
      }
    }
  }
}

// Texts stand with their top-left corner at the given point, in the font colour only; the
// same text in another colour paints the same pixels; texts over the edges are clipped.
TEST(Canvas, TextOutAtTopLeftInFontColour) {
  GuardedImage guarded(160, 60);
  QImage& image = guarded.Image();
  Canvas canvas(image);
  canvas.SetFontColor(qRgb(255, 255, 0));
  canvas.TextOut(100, 30, "20");
  const std::vector<Pixel> yellow = PixelsOf(image, qRgb(255, 255, 0));
  ASSERT_FALSE(yellow.empty());
  EXPECT_EQ(yellow.size() + PixelsOf(image, kBlack).size(), 160u * 60u);
  const auto [left, right] = std::minmax_element(
      yellow.begin(), yellow.end(), [](const Pixel& a, const Pixel& b) { return a.x < b.x; });
  EXPECT_TRUE(yellow.front().y >= 30 && yellow.front().y <= 35) << yellow.front().y;
  EXPECT_LE(yellow.back().y, 30 + 13);  // about 11 px high
  EXPECT_TRUE(left->x >= 100 && left->x <= 102) << left->x;
  EXPECT_LE(right->x, 100 + 16);  // two digits

  canvas.SetFontColor(qRgb(255, 255, 255));
  canvas.TextOut(100, 30, QStringLiteral("20"));
  EXPECT_EQ(PixelsOf(image, qRgb(255, 255, 255)), yellow);

  for (const Pixel at : {Pixel{-5, -5}, Pixel{150, 55}, Pixel{-20, 55}, Pixel{150, -8}}) {
    canvas.TextOut(at.x, at.y, "100.0");
  }
  EXPECT_TRUE(guarded.GuardIntact());
}

}  // namespace
