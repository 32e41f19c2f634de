#pragma once

// The drawing surface of the client area: pen colour and width, font colour, MoveTo,
// LineTo (end point not painted) and TextOut at the text's top-left corner, all drawn
// straight into the screen image. Nothing drawn is retained beyond the image itself.

#include <QImage>
#include <QString>

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
  void LineTo(int x, int y);
  void TextOut(int x, int y, const QString& text);
  void Clear();

 private:
  QImage& image;
  QRgb penColor = qRgb(0, 0, 0);
  int penWidth = 1;
  QRgb fontColor = qRgb(0, 0, 0);
  int penX = 0;
  int penY = 0;
};
