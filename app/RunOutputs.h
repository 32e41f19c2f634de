#pragma once

// What a live run makes of its captured blocks besides the window: the recording
// (--record), the report lines with each block's figures (--report) and the calibration
// (--calibrate). The instrument measures the figures once per block, as it takes it.

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "BlockRecorder.h"
#include "Calibration.h"
#include "CommandLine.h"
#include "ReadoutReport.h"

class TForm1;
namespace osciloskop {
class WaveBackend;
}  // namespace osciloskop

namespace osciloskop {

class RunOutputs {
 public:
  // Starts the recording when the options ask for one; null, with *error set to one line
  // naming --record and the problem, when it cannot be made.
  static std::unique_ptr<RunOutputs> create(const ProgramOptions& options, QString* error);

  // Watches the window's capture hand-offs and display frames for the rest of the run.
  // `fail` ends the run with one line naming the option and the problem (a recording that
  // cannot be written, an input unfit for calibration).
  void attach(TForm1& form, osciloskop::WaveBackend& backend,
              std::function<void(const QString&)> fail);

  // After a run that ended well: prints the calibration's value to stdout, or returns the
  // line that says why there is none. Empty when all is done.
  QString finish();

 private:
  explicit RunOutputs(const ProgramOptions& options);

  const bool report_;
  ReportPrinter printer_;
  const std::optional<double> fullScaleVolts_;
  std::unique_ptr<BlockRecorder> recorder_;
  std::optional<Calibration> calibration_;
  bool reportPending_ = false;  // a block has been handed off since the last report line
};

}  // namespace osciloskop
