#pragma once

// The sound libraries under PortAudio (ALSA and its plugins, JACK, and PortAudio's own error
// trace) print their complaints straight to the standard error: about absent cards and
// servers while devices are probed, and about every failed poll and restart once a device
// has gone away. None of it means anything to the user, whom the backend tells in its own
// words. Once installed, the filter keeps those lines off the standard error for the rest
// of the run; every other line (the program's own, Qt's, a sanitizer's report) goes through
// unchanged.

#include <string_view>

namespace osciloskop {

// True for a line that one of the sound libraries printed.
bool isLibraryChatter(std::string_view line);

// Makes the standard error a pipe that a thread of its own reads and forwards line by line,
// leaving out the chatter. Once per process (later calls do nothing); at exit the pipe is
// drained and the standard error restored.
void filterLibraryChatter();

}  // namespace osciloskop
