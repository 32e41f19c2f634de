#pragma once

// The drawing surface of the client area: pen colour and width, font colour, MoveTo,
// LineTo (end point not painted) and TextOut at the text's top-left corner, all drawn
// straight into the screen image. Nothing drawn is retained beyond the image itself.
//
// Lines are rasterized here over the image's scan lines rather than by QPainter: the
// trace erases its previous frame by drawing every segment again in black, which needs a
// line to cover exactly the same pixels each time it is drawn between the same points.
// Texts are rendered once per distinct string into a pixel mask and stamped from then on,
// so a frame of scale numbers needs no glyph layout and no allocation.

#include <QImage>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class Canvas {
 public:
  explicit Canvas(QImage& image) : image(image) {}

  void SetPenColor(QRgb color) { penColor = color; }
  QRgb PenColor() const { return penColor; }
  void SetPenWidth(int width) { penWidth = width; }
  int PenWidth() const { return penWidth; }
  void SetFontColor(QRgb color) { fontColor = color; }
  QRgb FontColor() const { return fontColor; }

  void MoveTo(int x, int y);
  // Paints the pixels from the pen position towards (x, y), the end point excluded, in
  // the pen colour, then moves the pen there. A line from a point to itself paints that
  // one point. Any coordinates are accepted; what lies outside the image is clipped.
  // Lines are one pixel wide, the only width the program draws with.
  void LineTo(int x, int y);
  void TextOut(int x, int y, const QString& text);
  // The same for UTF-8 text; finds a text drawn before without allocating.
  void TextOut(int x, int y, std::string_view text);
  void TextOut(int x, int y, const char* text) { TextOut(x, y, std::string_view(text)); }
  void Clear();

 private:
  struct Span {  // one run of text pixels, relative to the text's top-left corner
    int16_t x;
    int16_t y;
    int16_t length;
  };
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept {
      return std::hash<std::string_view>{}(text);
    }
  };
  using TextMask = std::vector<Span>;

  const TextMask& MaskOf(std::string_view text);
  void PaintSegment(int x0, int y0, int x1, int y1);

  QImage& image;
  QRgb penColor = qRgb(0, 0, 0);
  int penWidth = 1;
  QRgb fontColor = qRgb(0, 0, 0);
  int penX = 0;
  int penY = 0;
  std::unordered_map<std::string, TextMask, TextHash, std::equal_to<>> textMasks;
};

namespace osciloskop {

// A line from (x0, y0) to (x1, y1), the end point not painted: MoveTo, then LineTo.
inline void DrawLine(Canvas& canvas, int x0, int y0, int x1, int y1) {
  canvas.MoveTo(x0, y0);
  canvas.LineTo(x1, y1);
}

}  // namespace osciloskop
