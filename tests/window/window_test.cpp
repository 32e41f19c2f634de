// The main window as the program makes it: caption, client area, a black screen, and the
// idle hook that runs the acquisition cycle back to back.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QImage>
#include <QMenuBar>
#include <QTimer>
#include <functional>
#include <vector>

#include "ApplicationIdle.h"
#include "ScreenWidget.h"
#include "TForm1.h"

using namespace osciloskop;

TEST(MainWindow, CaptionAndClientArea) {
  TForm1 window;
  window.show();
  EXPECT_EQ(window.windowTitle(),
            QStringLiteral("dvoukanálový osciloskop pro  zvukovou kartu  verze UNI  Zelvatec"));
  EXPECT_EQ(window.ClientWidth(), 800);
  EXPECT_EQ(window.ClientHeight(), 526);
  EXPECT_EQ(window.pos(), QPoint(0, 0));
  EXPECT_EQ(window.centralWidget(), window.Screen());
}

TEST(MainWindow, FreshScreenIsBlackUnderTheMenuBar) {
  TForm1 window;
  window.show();
  const QImage shot = window.grab().toImage();
  const int menuHeight = window.menuBar()->height();
  ASSERT_EQ(shot.width(), 800);
  ASSERT_EQ(shot.height(), menuHeight + 526);
  // Probe the open screen between the control strip and the generator strip, away from
  // the scale captions.
  for (int y = menuHeight + 60; y < menuHeight + 400; y += 37) {
    for (int x = 20; x < 780; x += 53) {
      if (x > 140 && x < 190) continue;  // UL captions
      if (x > 370 && x < 420) continue;  // UR captions
      if (x > 610 && x < 660) continue;
      ASSERT_EQ(shot.pixelColor(x, y), QColor(Qt::black)) << x << "," << y;
    }
  }
}

// Records what the event loop did, in order: 'i' for an idle call, 'p' for a posted event,
// 't' for the timer.
class EventLog : public QObject {
 public:
  std::vector<char> entries;

 protected:
  void customEvent(QEvent*) override { entries.push_back('p'); }
};

TEST(ApplicationIdle, RunsBackToBackWithEventsDispatchedBetweenCalls) {
  EventLog log;
  ApplicationIdle idle;
  int calls = 0;
  idle.setHandler([&](QObject*, bool& done) {
    ++calls;
    log.entries.push_back('i');
    // Post more work from inside the cycle, as device notifications would arrive.
    if (calls % 10 == 0) QCoreApplication::postEvent(&log, new QEvent(QEvent::User));
    done = false;
  });
  bool timerFired = false;
  QTimer::singleShot(50, [&] {
    timerFired = true;
    log.entries.push_back('t');
  });

  QElapsedTimer clock;
  clock.start();
  while (!timerFired && clock.elapsed() < 5000) QCoreApplication::processEvents();
  idle.setHandler(nullptr);

  ASSERT_TRUE(timerFired);
  EXPECT_GT(calls, 50);
  // Posted events were delivered between idle calls, not held back until the end.
  int posted = 0;
  for (std::size_t i = 0; i + 1 < log.entries.size(); ++i) {
    if (log.entries[i] == 'p') {
      ++posted;
      EXPECT_EQ(log.entries[i + 1], 'i') << "an idle call follows each delivered event";
    }
  }
  EXPECT_GT(posted, 3);
}

// A handler that is done is not called while the loop handles other work (timers, posted
// events); a wake, from anywhere and any number of times, brings one more call; a wake from
// inside the handler itself calls it again even though it said Done.
TEST(ApplicationIdle, DoneTrueWaitsUntilWoken) {
  EventLog log;
  ApplicationIdle idle;
  int calls = 0;
  bool wakeItself = false;
  idle.setHandler([&](QObject*, bool& done) {
    ++calls;
    done = true;
    if (wakeItself) {
      wakeItself = false;
      idle.wake();
    }
  });
  // Steps of a real event loop that blocks when it has nothing to do; each step schedules
  // the next after it, so that a zero-delay wake is handled first however late it runs.
  const std::vector<std::function<void()>> steps = {
      [&] { QCoreApplication::postEvent(&log, new QEvent(QEvent::User)); },
      [&] {
        idle.wake();
        idle.wake();
      },
      [] {},
      [&] {
        wakeItself = true;
        idle.wake();
      },
      [] {},
  };
  QEventLoop loop;
  std::vector<int> callsAt;
  std::function<void(std::size_t)> runStep = [&](std::size_t index) {
    if (index == steps.size()) {
      loop.quit();
      return;
    }
    steps[index]();
    callsAt.push_back(calls);
    QTimer::singleShot(40, [&runStep, index] { runStep(index + 1); });
  };
  QTimer::singleShot(40, [&] { runStep(0); });
  loop.exec();
  idle.setHandler(nullptr);

  ASSERT_EQ(callsAt.size(), 5u);
  EXPECT_EQ(callsAt[0], 1) << "timers and posted events do not wake a done handler";
  EXPECT_EQ(callsAt[1], 1) << "the wake takes effect when the queue is empty";
  EXPECT_EQ(callsAt[2], 2) << "two wakes before the call make one call";
  EXPECT_EQ(callsAt[4], 4) << "a wake inside the handler runs it once more";
  EXPECT_EQ(calls, 4);
}
