#pragma once

// The application's idle hook: a handler called whenever the message queue is empty.
// When the handler leaves Done false it is called again as soon as the queue is empty once
// more, so calls run back to back with posted messages, timers and user input dispatched
// between them. With Done true the hook waits, and the event loop with it, until wake() is
// called: whoever changes what the handler works on says so.

#include <QObject>
#include <QTimer>
#include <functional>

namespace osciloskop {

class ApplicationIdle : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(QObject* Sender, bool& Done)>;

  explicit ApplicationIdle(QObject* parent = nullptr);
  void setHandler(Handler handler);

  // The handler runs again once the queue is empty. Cheap, and any number of calls before
  // that make one call of the handler.
  void wake();

 private:
  void runOnce();

  Handler handler;
  QTimer timer;
  bool woken = false;  // wake() since the handler's latest call began
};

}  // namespace osciloskop
