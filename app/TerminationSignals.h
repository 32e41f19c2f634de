#pragma once

// SIGINT and SIGTERM end a live run as closing its window does: the event loop ends and
// everything the run writes (a recording, a screenshot, the last report line) is finished
// before the process goes. The process then ends by the same signal, so that whoever
// started it sees the end it asked for.

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace osciloskop {

class TerminationSignals {
 public:
  // From now on, the first SIGINT or SIGTERM calls `onSignal` from the event loop; a
  // second one ends the process at once. A signal that comes after the event loop has
  // ended waits for endByCaughtSignal().
  explicit TerminationSignals(std::function<void()> onSignal);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
};

// When a SIGINT or SIGTERM has come: flushes stdout and ends the process by that signal.
// Returns when none has come.
void endByCaughtSignal();

}  // namespace osciloskop
