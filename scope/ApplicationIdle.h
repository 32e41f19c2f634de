#pragma once

// The application's idle hook: a handler called whenever the message queue is empty.
// When the handler leaves Done false it is called again as soon as the queue is empty once
// more, so calls run back to back with posted messages, timers and user input dispatched
// between them. With Done true the hook waits until the event loop has had something to
// do and been about to wait again.

#include <QObject>
#include <QTimer>
#include <functional>

class ApplicationIdle : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(QObject* Sender, bool& Done)>;

  explicit ApplicationIdle(QObject* parent = nullptr);
  void setHandler(Handler handler);

 private:
  void runOnce();
  void wakeAfterWork();

  Handler handler;
  QTimer timer;
  bool waitingForWork = false;
};
