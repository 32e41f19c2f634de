#pragma once

// Offline measurement of a recording: the file (any format and rate the sound-file reader
// takes) is cut into capture blocks of 0.25 s at 44100 Hz, each handed to the window as the
// sound card would hand it, followed by one periodic display frame and one JSON line of
// readouts.

#include <QString>

class TForm1;

// Returns the process exit status: 0, or 2 after a one-line error and the usage line on
// stderr (the lines of the blocks measured before a read error stay printed).
int analyzeRecording(TForm1& form, const QString& path);
