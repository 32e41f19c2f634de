#include "TScrollBar.h"

TScrollBar::TScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
  setRange(0, 100);
  connect(this, &QScrollBar::valueChanged, this, [this] {
    if (OnChange) OnChange(this);
  });
  connect(this, &QScrollBar::sliderReleased, this, [this] {
    if (OnEndDrag) OnEndDrag(this);
  });
}

void TScrollBar::SetMin(int value) {
  if (value > maximum()) throw EScrollBarRange();
  setMinimum(value);
}

void TScrollBar::SetMax(int value) {
  if (value < minimum()) throw EScrollBarRange();
  setMaximum(value);
}
