#pragma once

// Offline measurement of a recording: the file (any format and rate the sound-file reader
// takes) is cut into capture blocks of 0.25 s at 44100 Hz, each handed to the instrument as
// the sound card would hand it, followed by one periodic display frame and one report line
// of the readouts and the block's figures. No window and no GUI platform are needed.

#include "CommandLine.h"

namespace osciloskop {

// Measures options.analyzeFile with the list and slider choices of the command line,
// printed as options.csv says; options.fullScaleVolts adds the volts to the figures.
// Returns the process exit status: 0, or 2 after a one-line error and the usage line on
// stderr (the lines of the blocks measured before a read error stay printed).
int analyzeRecording(const ProgramOptions& options);

}  // namespace osciloskop
