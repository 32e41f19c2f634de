#pragma once

// The sound card a run uses: the real one through PortAudio, or the simulated card with
// the signal sources the command line gives. Made before the main window, installed behind
// the wave functions, and removed after the window is gone.

#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "CommandLine.h"

namespace osciloskop {
class SimulatedCard;
class WaveBackend;
}  // namespace osciloskop

namespace osciloskop {

class SoundCard {
 public:
  // Chooses and makes the card; null with *error set when that fails: one line naming the
  // option and the problem (a device that matched nothing adds the device list after it).
  static std::unique_ptr<SoundCard> open(const ProgramOptions& options, QString* error);
  ~SoundCard();

  osciloskop::WaveBackend& backend() { return *backend_; }
  // The simulated card when it is in use, else null.
  osciloskop::SimulatedCard* simulated() { return simulated_; }

  // Called once when an input the command line gave cannot go on (a file that fails to
  // read mid-run), with one line naming the option and the problem.
  void onInputFailure(std::function<void(const QString& message)> handler);

 private:
  SoundCard(std::unique_ptr<osciloskop::WaveBackend> backend, osciloskop::SimulatedCard* simulated,
            std::array<QString, 2> sourceOptions);

  std::unique_ptr<osciloskop::WaveBackend> backend_;
  osciloskop::SimulatedCard* simulated_;
  std::array<QString, 2> sourceOptions_;  // the options that gave channels 0 and 1 their sources
};

}  // namespace osciloskop
