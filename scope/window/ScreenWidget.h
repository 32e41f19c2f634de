#pragma once

// The client area of the main window: shows the screen image (on which the canvas draws)
// and carries the controls at their absolute positions.

#include <QImage>
#include <QWidget>

namespace osciloskop {

class ScreenWidget : public QWidget {
  Q_OBJECT

 public:
  explicit ScreenWidget(QWidget* parent = nullptr);

  QImage& image() { return screenImage; }
  // Fills the image black and repaints the client area and its controls at once.
  void clearAndRepaint();

 Q_SIGNALS:
  // The image has been filled black: cleared, or made anew at a new size.
  void wiped();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QImage screenImage;
};

}  // namespace osciloskop
