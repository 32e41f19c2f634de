#include "ApplicationIdle.h"

namespace osciloskop {

ApplicationIdle::ApplicationIdle(QObject* parent) : QObject(parent) {
  // A zero-interval timer fires once per pass of the event loop, after the pending events
  // have been dispatched: that is the moment the queue is empty.
  timer.setInterval(0);
  connect(&timer, &QTimer::timeout, this, &ApplicationIdle::runOnce);
}

void ApplicationIdle::setHandler(Handler newHandler) {
  handler = std::move(newHandler);
  if (handler) {
    timer.start();
  } else {
    timer.stop();
  }
}

void ApplicationIdle::wake() {
  if (!handler) return;
  woken = true;
  if (!timer.isActive()) timer.start();
}

void ApplicationIdle::runOnce() {
  woken = false;
  bool done = true;
  handler(this, done);
  // A wake during the call (the handler changed its own work) runs it once more.
  if (done && !woken) timer.stop();
}

}  // namespace osciloskop
