#include "ProgramRun.h"
#include "TerminationSignals.h"

int main(int argc, char** argv) {
  const int status = runProgram(argc, argv);
  endByCaughtSignal();  // a run ended by a signal ends the process by it, its files finished
  return status;
}
