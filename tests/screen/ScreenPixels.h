#pragma once

// Helpers of the screen tests: pixels of a colour, and an image with a guard band that
// shows any pixel painted outside it.

#include <QImage>
#include <ostream>
#include <vector>

namespace screen_pixels {

inline constexpr QRgb kBlack = qRgb(0, 0, 0);
inline constexpr QRgb kAqua = qRgb(0, 255, 255);

struct Pixel {
  int x;
  int y;
  bool operator==(const Pixel&) const = default;
  friend void PrintTo(const Pixel& p, std::ostream* out) {
    *out << "(" << p.x << "," << p.y << ")";
  }
};

// The pixels of the colour, row by row.
inline std::vector<Pixel> PixelsOf(const QImage& image, QRgb color) {
  std::vector<Pixel> pixels;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) == color) pixels.push_back({x, y});
    }
  }
  return pixels;
}

inline QImage BlackImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(kBlack);
  return image;
}

// A black image that lies inside a larger buffer with a guard band of another colour all
// round.
class GuardedImage {
 public:
  GuardedImage(int width, int height)
      : width(width),
        height(height),
        buffer(static_cast<size_t>(Stride() * (height + 2 * kBand)), kGuard),
        image(reinterpret_cast<uchar*>(buffer.data() + kBand * Stride() + kBand), width, height,
              Stride() * int{sizeof(QRgb)}, QImage::Format_RGB32) {
    image.fill(kBlack);
  }
  GuardedImage(const GuardedImage&) = delete;
  GuardedImage& operator=(const GuardedImage&) = delete;

  QImage& Image() { return image; }
  bool GuardIntact() const {
    for (int row = 0; row < height + 2 * kBand; ++row) {
      for (int column = 0; column < Stride(); ++column) {
        const bool inside =
            row >= kBand && row < kBand + height && column >= kBand && column < kBand + width;
        if (!inside && buffer[static_cast<size_t>(row * Stride() + column)] != kGuard) return false;
      }
    }
    return true;
  }

 private:
  static constexpr int kBand = 8;
  static constexpr QRgb kGuard = qRgb(18, 52, 86);
  int Stride() const { return width + 2 * kBand; }
  int width;
  int height;
  std::vector<QRgb> buffer;
  QImage image;
};

}  // namespace screen_pixels
