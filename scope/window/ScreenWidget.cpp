#include "ScreenWidget.h"

#include <QPainter>
#include <QResizeEvent>

namespace osciloskop {

ScreenWidget::ScreenWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  screenImage = QImage(1, 1, QImage::Format_RGB32);
  screenImage.fill(Qt::black);
}

void ScreenWidget::clearAndRepaint() {
  screenImage.fill(Qt::black);
  repaint();
  Q_EMIT wiped();
}

void ScreenWidget::paintEvent(QPaintEvent* event) {
  // Rectangle by rectangle of the region to paint (which leaves out the controls on the
  // screen): under a rectangular clip the image is copied row by row, while a clip of many
  // rectangles makes Qt blend it span by span, spread over worker threads.
  QPainter painter(this);
  for (const QRect& rect : event->region()) {
    painter.setClipRect(rect);
    painter.drawImage(rect.topLeft(), screenImage, rect);
  }
}

void ScreenWidget::resizeEvent(QResizeEvent* event) {
  // A new size wipes the screen: the next display frame draws it again. The QImage object
  // stays the same, so the canvas keeps drawing into it.
  const QSize size = event->size().expandedTo(QSize(1, 1));
  if (size != screenImage.size()) {
    screenImage = QImage(size, QImage::Format_RGB32);
    screenImage.fill(Qt::black);
    Q_EMIT wiped();
  }
  QWidget::resizeEvent(event);
}

}  // namespace osciloskop
