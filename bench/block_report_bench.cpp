// What a reporting or recording run adds to each captured block beside the window: the
// block's figures measured and written as the report's "measured" object, and the block
// appended to the recording (16-bit stereo WAV, its header brought up to date).

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "BlockFiguresReport.h"
#include "BlockRecorder.h"
#include "Instrument.h"
#include "ReadoutReport.h"

using namespace osciloskop;

namespace {

// 11025 frames: UR a 1 kHz sine, UL the same 45 degrees behind, with white noise 40 dB down.
std::vector<int16_t> Block() {
  std::mt19937_64 random(1);
  std::normal_distribution<double> gauss(0, 70.7);
  std::vector<int16_t> block(2 * 11025);
  for (size_t n = 0; n < 11025; ++n) {
    const double phase = 2 * std::numbers::pi * 1000 * static_cast<double>(n) / 44100;
    block[2 * n] = static_cast<int16_t>(std::lround(10000 * std::sin(phase) + gauss(random)));
    block[2 * n + 1] =
        static_cast<int16_t>(std::lround(10000 * std::sin(phase - 0.785) + gauss(random)));
  }
  return block;
}

void BM_MeasuredFiguresOfABlock(benchmark::State& bench) {
  const std::vector<int16_t> block = Block();
  BlockFigureMeter meter;
  for (auto _ : bench) {
    const BlockFigures figures = meter.Measure(block, kCaptureRate, 1.228);
    ReportFields fields;
    appendFigureFields(fields, figures, true);
    benchmark::DoNotOptimize(jsonLine(fields));
  }
}
BENCHMARK(BM_MeasuredFiguresOfABlock)->Unit(benchmark::kMicrosecond);

void BM_RecordABlock(benchmark::State& bench) {
  const std::vector<int16_t> block = Block();
  QTemporaryDir dir;
  QString error;
  std::unique_ptr<BlockRecorder> recorder =
      BlockRecorder::create(dir.filePath(QStringLiteral("bench.wav")), &error);
  if (!recorder) {
    bench.SkipWithError(qPrintable(error));
    return;
  }
  for (auto _ : bench) benchmark::DoNotOptimize(recorder->write(block));
}
// A thousand blocks (44 MB, four minutes of recording) keep the file to a size a run makes.
BENCHMARK(BM_RecordABlock)->Unit(benchmark::kMicrosecond)->Iterations(1000);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
