#include "RecordingAnalysis.h"

#include <sndfile.h>

#include <array>
#include <cstdio>
#include <memory>

#include "ReadoutReport.h"
#include "TForm1.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBlockFrames = 11025;  // one capture block: 0.25 s of stereo frames

struct SndFileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};

int fail(const QString& path, const QString& reason) {
  std::fprintf(stderr, "osciloskop: %s: %s\n", qPrintable(path), qPrintable(reason));
  return 2;
}

}  // namespace

int analyzeRecording(TForm1& form, const QString& path) {
  SF_INFO info{};
  std::unique_ptr<SNDFILE, SndFileCloser> file(
      sf_open(path.toLocal8Bit().constData(), SFM_READ, &info));
  if (!file) return fail(path, QString::fromUtf8(sf_strerror(nullptr)));
  if (info.samplerate != kRate) {
    return fail(path,
                QStringLiteral("the sample rate is %1 Hz, not 44100 Hz").arg(info.samplerate));
  }
  if (info.channels < 1 || info.channels > 2) {
    return fail(path, QStringLiteral("%1 channels; one or two are needed").arg(info.channels));
  }

  // The block as the card delivers it: the file's first channel is the first value of each
  // frame (UR); a mono file feeds both channels.
  std::array<int16_t, 2 * kBlockFrames> fileFrames{};
  std::array<int16_t, 2 * kBlockFrames> block{};
  int64_t blocks = 0;
  sf_count_t partialFrames = 0;
  for (;;) {
    const sf_count_t read = sf_readf_short(file.get(), fileFrames.data(), kBlockFrames);
    if (read < kBlockFrames) {
      partialFrames = read;
      break;
    }
    for (int frame = 0; frame < kBlockFrames; ++frame) {
      const int16_t first = fileFrames[frame * info.channels];
      block[2 * frame] = first;
      block[2 * frame + 1] = info.channels == 2 ? fileFrames[2 * frame + 1] : first;
    }
    int32_t size = static_cast<int32_t>(block.size() * sizeof(int16_t));
    form.AudioIn1BufferFilled(block.data(), size);
    form.MeasureAndDisplay();
    const double start = static_cast<double>(blocks) * kBlockFrames / kRate;
    ++blocks;
    std::printf("%s\n", readoutJson(form, start, blocks).toUtf8().constData());
  }
  std::fflush(stdout);
  if (partialFrames > 0) {
    std::fprintf(stderr,
                 "osciloskop: %s: the last %lld frames (less than a 0.25 s block) were left out\n",
                 qPrintable(path), static_cast<long long>(partialFrames));
  }
  return 0;
}
