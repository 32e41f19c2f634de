#include "RecordingAnalysis.h"

#include <QFile>
#include <array>
#include <cstdio>

#include "BlockFiguresReport.h"
#include "CommandLine.h"
#include "TForm1.h"
#include "file/SoundFileReader.h"

namespace osciloskop {

namespace {

constexpr int kBlockFrames = 11025;  // one capture block: 0.25 s of stereo frames

}  // namespace

int analyzeRecording(TForm1& form, const QString& path, ReportFormat format,
                     std::optional<double> fullScaleVolts) {
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
  BlockFiguresReport figures(fullScaleVolts);
  ReportPrinter printer(format);
  int64_t blocks = 0;
  size_t partialFrames = 0;
  for (;;) {
    const size_t read = reader->read(block.data(), kBlockFrames);
    if (read < kBlockFrames) {
      partialFrames = read;
      break;
    }
    int32_t size = static_cast<int32_t>(block.size() * sizeof(int16_t));
    form.AudioIn1BufferFilled(block.data(), size);
    figures.measure(block);
    form.MeasureAndDisplay();
    const double start = static_cast<double>(blocks) * kBlockFrames / SoundFileReader::kRate;
    ++blocks;
    ReportFields fields = readoutFields(form, start, blocks);
    figures.appendFields(fields);
    printer.print(fields);
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
