#pragma once

// The readouts of the window as one line of JSON, for scripts: the controls' texts exactly
// as shown, the warning panels, the range and time base in force, the trace position, and
// for a live run the sound card's over- and underruns so far.

#include <QString>
#include <cstdint>
#include <optional>

class TForm1;

QString readoutJson(const TForm1& form, double deviceTime, int64_t block,
                    std::optional<uint64_t> xruns = std::nullopt);
