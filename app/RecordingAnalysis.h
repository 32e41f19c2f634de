#pragma once

// Offline measurement of a recording: the file is cut into capture blocks of 0.25 s, each
// handed to the window as the sound card would hand it, followed by one periodic display
// frame and one JSON line of readouts.

#include <QString>

class TForm1;

// Returns the process exit status: 0, or 2 after a one-line error on stderr.
int analyzeRecording(TForm1& form, const QString& path);
