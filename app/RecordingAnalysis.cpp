#include "RecordingAnalysis.h"

#include <QFile>
#include <array>
#include <cstdio>

#include "Instrument.h"
#include "ReadoutReport.h"
#include "ToneGenerator.h"
#include "file/SoundFileReader.h"

namespace osciloskop {

namespace {

constexpr int kBlockFrames = 11025;  // one capture block: 0.25 s of stereo frames

// The choices the command line makes after start-up, as the window's controls make them:
// the generator's frequency slider (its start position changes nothing), then the lists:
// each chosen item is shown, and each choice reads only its own list. The command line has
// checked each against the start-up ranges.
void applyStartupChoices(Instrument& instrument, ToneGenerator& generator,
                         const ProgramOptions& options) {
  if (options.generatorFrequency && *options.generatorFrequency != kStartFrequencyPosition &&
      generator.FrequencySliderMoved(*options.generatorFrequency)) {
    instrument.GeneratorFrequencyMoved();
  }
  ListItemsShown items = instrument.ItemsShown();
  items.timeBase = options.timeBase.value_or(items.timeBase);
  items.ulRange = options.ulRange.value_or(items.ulRange);
  items.urRange = options.urRange.value_or(items.urRange);
  instrument.ShowListItems(items);
  if (options.timeBase) instrument.TimeBaseChosen();
  if (options.ulRange) instrument.UlRangeChosen();
  if (options.urRange) instrument.UrRangeChosen();
}

}  // namespace

int analyzeRecording(const ProgramOptions& options) {
  const QString& path = options.analyzeFile;
  const QString about = QStringLiteral("--analyze: \"%1\": ").arg(path);
  auto fail = [&about](const std::string& problem) {
    std::fprintf(stderr, "%s\n", qPrintable(usageError(about + QString::fromStdString(problem))));
    return 2;
  };
  std::string error;
  const auto reader = SoundFileReader::open(QFile::encodeName(path).toStdString(), &error);
  if (!reader) return fail(error);
  if (const std::string note = reader->unusedChannelsNote(); !note.empty())
    std::fprintf(stderr, "osciloskop: %s%s\n", qPrintable(about), note.c_str());

  // The block as the card delivers it: the file's first channel is the first value of each
  // frame (UR); a mono file feeds both channels.
  std::array<int16_t, 2 * kBlockFrames> block{};
  ToneGenerator generator;
  generator.SetFrequency(kStartFrequencyPosition);
  generator.SetAmplitude(kStartAmplitude);
  Instrument instrument(generator);
  applyStartupChoices(instrument, generator, options);
  instrument.MeasureBlockFigures(options.fullScaleVolts);
  ReportPrinter printer(options.csv ? ReportFormat::Csv : ReportFormat::Json);
  int64_t blocks = 0;
  size_t partialFrames = 0;
  for (;;) {
    const size_t read = reader->read(block.data(), kBlockFrames);
    if (read < kBlockFrames) {
      partialFrames = read;
      break;
    }
    instrument.TakeBlock(block);
    if (instrument.StartPass()) instrument.DisplayFrame();
    const double start = static_cast<double>(blocks) * kBlockFrames / SoundFileReader::kRate;
    ++blocks;
    printer.print(
        readoutFields(instrument, start, blocks, std::nullopt, options.fullScaleVolts.has_value()));
  }
  if (!reader->error().empty()) return fail(reader->error());
  if (blocks == 0) {
    return fail("the file gives " + std::to_string(partialFrames) + " frames at " +
                std::to_string(SoundFileReader::kRate) + " Hz, less than one 0.25 s block of " +
                std::to_string(kBlockFrames));
  }
  if (partialFrames > 0) {
    std::fprintf(stderr,
                 "osciloskop: %sthe last %zu frames (less than a 0.25 s block) were left out\n",
                 qPrintable(about), partialFrames);
  }
  if (const size_t clipped = reader->clippedValues(); clipped > 0) {
    std::fprintf(stderr, "osciloskop: %s%zu values beyond the 16-bit range were clipped\n",
                 qPrintable(about), clipped);
  }
  return 0;
}

}  // namespace osciloskop
