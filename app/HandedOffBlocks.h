#pragma once

// The blocks the window's capture hand-off receives, passed on to what a run does with them
// besides showing them (recording, measuring, reporting).

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class TForm1;

namespace osciloskop {

// Receives one block: stereo frames of 16-bit values as the card delivered them, the first
// value of each frame UR, the second UL.
using BlockConsumer = std::function<void(std::span<const int16_t> interleaved)>;

// Sets the window's hand-off observer: after each hand-off, every consumer in turn gets the
// block.
void passHandedOffBlocks(TForm1& form, std::vector<BlockConsumer> consumers);

}  // namespace osciloskop
