#include "Canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace {

// Wide enough for products of two differences of any two ints, so that clipping a line
// with far-away end points stays exact.
__extension__ typedef __int128 Wide;

constexpr size_t kMaxCachedTexts = 1024;  // bounds the cache if texts ever vary freely

Wide FloorDiv(Wide numerator, Wide denominator) {  // denominator > 0
  Wide quotient = numerator / denominator;
  if (numerator % denominator != 0 && numerator < 0) --quotient;
  return quotient;
}

Wide CeilDiv(Wide numerator, Wide denominator) {
  return -FloorDiv(-numerator, denominator);
}

// The offsets k for which start + step * k lies in 0 .. limit - 1 (step is +1 or -1).
struct OffsetRange {
  int64_t low;
  int64_t high;
};
OffsetRange InsideOffsets(int64_t start, int step, int64_t limit) {
  if (step > 0) return {-start, limit - 1 - start};
  return {start - (limit - 1), start};
}

QFont ScreenFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  // Plain on/off pixels: the text keeps exactly its colour and stamps as a mask.
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

}  // namespace

void Canvas::MoveTo(int x, int y) {
  penX = x;
  penY = y;
}

void Canvas::LineTo(int x, int y) {
  PaintSegment(penX, penY, x, y);
  penX = x;
  penY = y;
}

void Canvas::Clear() {
  image.fill(qRgb(0, 0, 0));
}

// Steps one pixel at a time along the major axis, i = 0 .. n-1 with n the larger of |dx|
// and |dy|; the minor offset of step i is i * minor / n rounded to nearest, halves away
// from the start: floor((2 i minor + n) / (2 n)). The result depends only on the two
// points and their order, so drawing the same segment again repaints the same pixels.
// Clipping computes the first and last step inside the image directly, so the loop
// visits only visible pixels however far away the end points are.
void Canvas::PaintSegment(int x0, int y0, int x1, int y1) {
  const int64_t width = image.width();
  const int64_t height = image.height();
  if (width <= 0 || height <= 0) return;
  QRgb* const bits = reinterpret_cast<QRgb*>(image.bits());
  const int64_t rowStride = image.bytesPerLine() / int64_t{sizeof(QRgb)};

  const int64_t dx = int64_t{x1} - x0;
  const int64_t dy = int64_t{y1} - y0;
  if (dx == 0 && dy == 0) {
    if (x0 >= 0 && x0 < width && y0 >= 0 && y0 < height) bits[y0 * rowStride + x0] = penColor;
    return;
  }
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const int64_t majorStart = xMajor ? x0 : y0;
  const int64_t minorStart = xMajor ? y0 : x0;
  const int64_t majorDelta = xMajor ? dx : dy;
  const int64_t minorDelta = xMajor ? dy : dx;
  const int64_t majorLimit = xMajor ? width : height;
  const int64_t minorLimit = xMajor ? height : width;
  const int majorStep = majorDelta < 0 ? -1 : 1;
  const int minorStep = minorDelta < 0 ? -1 : 1;
  const int64_t n = std::llabs(majorDelta);
  const int64_t m = std::llabs(minorDelta);

  // Steps first .. last lie inside the image; the minor offset of step `first` and the
  // remainder of its numerator modulo 2 n carry the rounding from there on.
  int64_t first = 0;
  int64_t last = n - 1;
  int64_t minorOffset = 0;
  int64_t remainder = n;
  const auto inside = [&](int64_t x, int64_t y) {
    return x >= 0 && x < width && y >= 0 && y < height;
  };
  if (!inside(x0, y0) || !inside(x1, y1)) {
    const OffsetRange majorInside = InsideOffsets(majorStart, majorStep, majorLimit);
    first = std::max<int64_t>(first, majorInside.low);
    last = std::min<int64_t>(last, majorInside.high);
    const OffsetRange minorInside = InsideOffsets(minorStart, minorStep, minorLimit);
    if (m == 0) {
      if (minorInside.low > 0 || minorInside.high < 0) return;
    } else {
      // minor offset(i) >= low  <=>  2 i m + n >= 2 n low
      // minor offset(i) <= high <=>  2 i m + n <  2 n (high + 1)
      const Wide twoN = Wide{2} * n;
      const Wide twoM = Wide{2} * m;
      const Wide firstInside = CeilDiv(twoN * minorInside.low - n, twoM);
      const Wide lastInside = CeilDiv(twoN * (Wide{minorInside.high} + 1) - n, twoM) - 1;
      if (firstInside > last || lastInside < first) return;
      first = static_cast<int64_t>(std::max<Wide>(firstInside, first));
      last = static_cast<int64_t>(std::min<Wide>(lastInside, last));
    }
    if (first > last) return;
    const Wide numerator = Wide{2} * first * m + n;
    minorOffset = static_cast<int64_t>(numerator / (Wide{2} * n));
    remainder = static_cast<int64_t>(numerator % (Wide{2} * n));
  }

  const int64_t major = majorStart + majorStep * first;
  const int64_t minor = minorStart + minorStep * minorOffset;
  QRgb* pixel = xMajor ? bits + minor * rowStride + major : bits + major * rowStride + minor;
  const int64_t majorAdvance = xMajor ? majorStep : majorStep * rowStride;
  const int64_t minorAdvance = xMajor ? minorStep * rowStride : minorStep;
  const int64_t count = last - first + 1;
  const QRgb color = penColor;

  if (m == 0 && xMajor) {  // a row: the grid's lines and the scale's ticks
    std::fill_n(majorStep > 0 ? pixel : pixel - (count - 1), count, color);
    return;
  }
  // Step j from here advances the minor coordinate by floor((remainder + 2 j m) / (2 n)).
  // When 2 n count <= 2^32, the same value is the integer part of a 32.32 fixed-point sum
  // whose start and slope are rounded up: its error stays below count units of 2^-32, at
  // most 1 / (2 n), while the exact value's distance to the next integer is at least that.
  // The sum needs one addition per pixel in its dependency chain.
  constexpr int kFraction = 32;
  if (2 * n * count <= int64_t{1} << kFraction) {
    const auto CeilShifted = [](uint64_t numerator, uint64_t denominator) {
      return ((numerator << kFraction) + denominator - 1) / denominator;
    };
    uint64_t position = CeilShifted(static_cast<uint64_t>(remainder), static_cast<uint64_t>(2 * n));
    const uint64_t slope = CeilShifted(static_cast<uint64_t>(m), static_cast<uint64_t>(n));
    for (int64_t j = 0; j < count; ++j) {
      pixel[static_cast<int64_t>(position >> kFraction) * minorAdvance] = color;
      position += slope;
      pixel += majorAdvance;
    }
    return;
  }

  // Longer spans keep the exact remainder, branch-free: whether the minor coordinate
  // advances follows no pattern the processor could predict.
  const int64_t twoM = 2 * m;
  const int64_t twoN = 2 * n;
  for (int64_t j = 0; j < count; ++j) {
    *pixel = color;
    remainder += twoM;
    const int64_t carry = -static_cast<int64_t>(remainder >= twoN);  // all ones on a carry
    remainder -= twoN & carry;
    pixel += majorAdvance + (minorAdvance & carry);
  }
}

void Canvas::TextOut(int x, int y, const QString& text) {
  TextOut(x, y, std::string_view(text.toUtf8()));
}

void Canvas::TextOut(int x, int y, std::string_view text) {
  const TextMask& mask = MaskOf(text);
  const int width = image.width();
  const int height = image.height();
  QRgb* const bits = reinterpret_cast<QRgb*>(image.bits());
  const int rowStride = image.bytesPerLine() / int{sizeof(QRgb)};
  for (const Span& span : mask) {
    const int64_t row = int64_t{y} + span.y;
    if (row < 0 || row >= height) continue;
    const int64_t from = std::max<int64_t>(0, int64_t{x} + span.x);
    const int64_t to = std::min<int64_t>(width, int64_t{x} + span.x + span.length);
    if (from < to) std::fill(bits + row * rowStride + from, bits + row * rowStride + to, fontColor);
  }
}

const Canvas::TextMask& Canvas::MaskOf(std::string_view text) {
  if (auto found = textMasks.find(text); found != textMasks.end()) return found->second;
  if (textMasks.size() >= kMaxCachedTexts) textMasks.clear();

  const QFont font = ScreenFont();
  const QFontMetrics metrics(font);
  const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QImage glyphs(metrics.horizontalAdvance(string) + 2, metrics.height(),
                QImage::Format_ARGB32_Premultiplied);
  glyphs.fill(Qt::transparent);
  {
    QPainter painter(&glyphs);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(0, metrics.ascent(), string);
  }
  TextMask mask;
  for (int row = 0; row < glyphs.height(); ++row) {
    const QRgb* line = reinterpret_cast<const QRgb*>(glyphs.constScanLine(row));
    for (int column = 0; column < glyphs.width();) {
      if (qAlpha(line[column]) < 128) {
        ++column;
        continue;
      }
      const int start = column;
      while (column < glyphs.width() && qAlpha(line[column]) >= 128) ++column;
      mask.push_back({static_cast<int16_t>(start), static_cast<int16_t>(row),
                      static_cast<int16_t>(column - start)});
    }
  }
  return textMasks.emplace(std::string(text), std::move(mask)).first->second;
}
