#pragma once

// The application's idle hook: a handler called whenever the message queue is empty.
// When the handler leaves Done false it is called again as soon as the queue is empty once
// more, so calls run back to back with posted messages, timers and user input dispatched
// between them. With Done true the hook waits until the application has handled some
// event and is about to wait again.

#include <QObject>
#include <QTimer>
#include <functional>

class ApplicationIdle : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(QObject* Sender, bool& Done)>;

  explicit ApplicationIdle(QObject* parent = nullptr);
  ~ApplicationIdle() override;
  void setHandler(Handler handler);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void runOnce();
  void stopWaiting();
  void resumeAfterWork();

  Handler handler;
  QTimer timer;
  bool waiting = false;    // the handler said Done: wait for the application's next event
  bool eventSeen = false;  // an event arrived while waiting
};
