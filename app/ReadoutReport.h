#pragma once

// The readouts of the window as one line of JSON, for scripts: the controls' texts exactly
// as shown, the warning panels, the range and time base in force, and the trace position.

#include <QString>
#include <cstdint>

class TForm1;

QString readoutJson(const TForm1& form, double deviceTime, int64_t block);
