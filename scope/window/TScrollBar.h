#pragma once

// A horizontal slider with the semantics the generator strip relies on: its change
// handler runs whenever the position changes, also when the program sets Min, Max or
// Position (setting Min or Max first moves the position into the new range); a range
// whose maximum would fall below its minimum is refused with the error
// "Scrollbar property out of range" and leaves the slider as it was.

#include <QScrollBar>
#include <functional>
#include <stdexcept>

class EScrollBarRange : public std::runtime_error {
 public:
  EScrollBarRange() : std::runtime_error("Scrollbar property out of range") {}
};

class TScrollBar : public QScrollBar {
  Q_OBJECT

 public:
  using TNotifyEvent = std::function<void(QObject* Sender)>;

  explicit TScrollBar(QWidget* parent = nullptr);

  int Min() const { return minimum(); }
  int Max() const { return maximum(); }
  int Position() const { return value(); }
  void SetMin(int value);
  void SetMax(int value);
  void SetPosition(int value) { setValue(value); }
  void SetLargeChange(int value) { setPageStep(value); }
  void SetSmallChange(int value) { setSingleStep(value); }
  int LargeChange() const { return pageStep(); }
  int SmallChange() const { return singleStep(); }

  TNotifyEvent OnChange;
  TNotifyEvent OnEndDrag;
};
