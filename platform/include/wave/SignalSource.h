#pragma once

// Signals for the simulated card's line input, one per channel.

#include <cstdint>
#include <memory>
#include <string>

namespace osciloskop {

// What the card's line output played, kept with the time each sample played.
class LineOutputHistory {
 public:
  virtual ~LineOutputHistory() = default;
  // The output sample that was playing at input frame `frame` of a `frameRate` clock
  // (frame 0 = the card's time 0); 0 for silence or for times no longer (or not yet) kept.
  virtual int16_t playedAt(int64_t frame, uint32_t frameRate) const = 0;
};

class SignalSource {
 public:
  virtual ~SignalSource() = default;
  // The value at absolute frame `frame` of a `frameRate` clock (frame 0 = the card's time 0),
  // clipped to -32768..32767. Frames are asked for in increasing order.
  virtual int16_t sample(int64_t frame, uint32_t frameRate, const LineOutputHistory& line) = 0;
  // A line the user should read once before the run, or empty (a file with channels that
  // are not used).
  virtual std::string note() const { return {}; }
  // Empty while the source works; once it cannot go on (a file that fails to read), why,
  // and from then on it gives silence.
  virtual std::string failure() const { return {}; }
};

// Parses `sine:FREQ[:AMPLITUDE[:PHASE_DEG]]`, `square:...`, `triangle:...` (amplitude in
// counts, default 10000), `dc:VALUE`, `noise:AMPLITUDE[:SEED]`, `silence`,
// `file:PATH[:CHANNEL]` (any sound file libsndfile reads, at 44100 Hz after rate
// conversion, channel 0 or 1, looped), `loopback` and `loopback-rc:CORNER_HZ`. On bad
// input: null and a one-line `error`.
std::unique_ptr<SignalSource> parseSignalSource(const std::string& text, std::string& error);

// Both channels of a sound file read as `file:` reads it (a mono file feeds both): its first
// channel into `first`, its second into `second`. False and a one-line `error` when the file
// cannot be read.
bool loadFileSources(const std::string& path, std::unique_ptr<SignalSource>& first,
                     std::unique_ptr<SignalSource>& second, std::string& error);

}  // namespace osciloskop
