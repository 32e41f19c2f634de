#include "ApplicationIdle.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

ApplicationIdle::ApplicationIdle(QObject* parent) : QObject(parent) {
  // A zero-interval timer fires once per pass of the event loop, after the pending events
  // have been dispatched: that is the moment the queue is empty.
  timer.setInterval(0);
  connect(&timer, &QTimer::timeout, this, &ApplicationIdle::runOnce);
  if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
            &ApplicationIdle::resumeAfterWork);
  }
}

ApplicationIdle::~ApplicationIdle() {
  stopWaiting();
}

void ApplicationIdle::setHandler(Handler newHandler) {
  handler = std::move(newHandler);
  stopWaiting();
  if (handler) {
    timer.start();
  } else {
    timer.stop();
  }
}

void ApplicationIdle::runOnce() {
  bool done = true;
  handler(this, done);
  if (done && handler) {
    timer.stop();
    waiting = true;
    eventSeen = false;
    QCoreApplication::instance()->installEventFilter(this);
  }
}

bool ApplicationIdle::eventFilter(QObject* /*watched*/, QEvent* /*event*/) {
  eventSeen = true;
  return false;
}

void ApplicationIdle::stopWaiting() {
  if (waiting) QCoreApplication::instance()->removeEventFilter(this);
  waiting = false;
}

void ApplicationIdle::resumeAfterWork() {
  if (waiting && eventSeen) {
    stopWaiting();
    timer.start();
  }
}
