#include "ApplicationIdle.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

ApplicationIdle::ApplicationIdle(QObject* parent) : QObject(parent) {
  // A zero-interval timer fires once per pass of the event loop, after the pending events
  // have been dispatched: that is the moment the queue is empty.
  timer.setInterval(0);
  connect(&timer, &QTimer::timeout, this, &ApplicationIdle::runOnce);
  if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
    connect(dispatcher, &QAbstractEventDispatcher::awake, this, &ApplicationIdle::wakeAfterWork);
  }
}

void ApplicationIdle::setHandler(Handler newHandler) {
  handler = std::move(newHandler);
  waitingForWork = false;
  if (handler) {
    timer.start();
  } else {
    timer.stop();
  }
}

void ApplicationIdle::runOnce() {
  bool done = true;
  handler(this, done);
  if (done) {
    timer.stop();
    waitingForWork = true;
  }
}

void ApplicationIdle::wakeAfterWork() {
  if (waitingForWork && handler) {
    waitingForWork = false;
    timer.start();
  }
}
