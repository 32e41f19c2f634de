#include "TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace osciloskop {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

// The handler only notes the signal and writes a byte into a pipe whose other end the
// event loop watches: nothing else a program does is safe inside a signal handler.
int pipeEnds[2] = {-1, -1};
volatile std::sig_atomic_t caughtSignal = 0;

void setDisposition(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int number : kSignals) sigaction(number, &action, nullptr);
}

void noteSignal(int number) {
  caughtSignal = number;
  setDisposition(SIG_DFL);  // a second signal ends the process as usual
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal) {
  if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals stay fatal
  notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [notifier = notifier_.get(), onSignal = std::move(onSignal)] {
                     notifier->setEnabled(false);
                     onSignal();
                   });
  setDisposition(noteSignal);
}

// Signals stay noted until the process ends by them in endByCaughtSignal(); the pipe stays
// open for them.
TerminationSignals::~TerminationSignals() = default;

void endByCaughtSignal() {
  const int number = caughtSignal;
  if (number == 0) return;
  std::fflush(stdout);
  std::signal(number, SIG_DFL);
  std::raise(number);
}

}  // namespace osciloskop
