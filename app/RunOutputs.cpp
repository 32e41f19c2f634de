#include "RunOutputs.h"

#include <cstdio>
#include <vector>

#include "HandedOffBlocks.h"
#include "TForm1.h"
#include "wave/WaveBackend.h"

namespace osciloskop {

RunOutputs::RunOutputs(const ProgramOptions& options)
    : report_(options.report),
      printer_(options.csv ? ReportFormat::Csv : ReportFormat::Json),
      fullScaleVolts_(options.fullScaleVolts) {
  if (options.calibrate)
    calibration_.emplace(options.calibrate->channel, options.calibrate->voltsRms);
}

std::unique_ptr<RunOutputs> RunOutputs::create(const ProgramOptions& options, QString* error) {
  std::unique_ptr<RunOutputs> outputs(new RunOutputs(options));
  if (!options.recordFile.isEmpty()) {
    outputs->recorder_ = BlockRecorder::create(options.recordFile, error);
    if (!outputs->recorder_) return nullptr;
  }
  return outputs;
}

void RunOutputs::attach(TForm1& form, WaveBackend& backend,
                        std::function<void(const QString&)> fail) {
  std::vector<BlockConsumer> consumers;
  if (recorder_) {
    consumers.push_back([this, fail](std::span<const int16_t> block) {
      if (recorder_ && !recorder_->write(block)) {
        fail(recorder_->error());
        recorder_.reset();  // what was written stays a whole recording
      }
    });
  }
  if (report_ || calibration_) form.Instrument().MeasureBlockFigures(fullScaleVolts_);
  if (calibration_) {
    consumers.push_back([this, fail, &form](std::span<const int16_t>) {
      if (!calibration_->add(form.Instrument().Figures())) fail(calibration_->problem());
    });
  }
  if (report_) {
    // One line after the first display frame that follows each capture hand-off.
    consumers.push_back([this](std::span<const int16_t>) { reportPending_ = true; });
    form.onDisplayFrame = [this, &form, &backend] {
      if (!reportPending_) return;
      reportPending_ = false;
      printer_.print(readoutFields(form.Instrument(), backend.deviceTime(), form.BlocksHandedOff(),
                                   backend.xruns(), fullScaleVolts_.has_value()));
    };
  }
  passHandedOffBlocks(form, std::move(consumers));
}

QString RunOutputs::finish() {
  if (!calibration_) return {};
  const QString line = calibration_->result();
  if (line.isEmpty()) return calibration_->problem();
  std::printf("%s\n", qPrintable(line));
  return {};
}

}  // namespace osciloskop
