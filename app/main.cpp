#include "ProgramRun.h"
#include "TerminationSignals.h"

int main(int argc, char** argv) {
  const int status = osciloskop::runProgram(argc, argv);
  // A run ended by a signal ends the process by it, its files finished.
  osciloskop::endByCaughtSignal();
  return status;
}
