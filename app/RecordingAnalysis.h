#pragma once

// Offline measurement of a recording: the file (any format and rate the sound-file reader
// takes) is cut into capture blocks of 0.25 s at 44100 Hz, each handed to the window as the
// sound card would hand it, followed by one periodic display frame and one report line of
// the readouts and the block's figures.

#include <QString>
#include <optional>

#include "ReadoutReport.h"

class TForm1;

namespace osciloskop {

// `fullScaleVolts` adds the volts to the figures. Returns the process exit status: 0, or 2
// after a one-line error and the usage line on stderr (the lines of the blocks measured
// before a read error stay printed).
int analyzeRecording(TForm1& form, const QString& path, ReportFormat format,
                     std::optional<double> fullScaleVolts);

}  // namespace osciloskop
