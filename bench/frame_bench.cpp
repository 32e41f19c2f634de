// One periodic display frame of the main window, as the acquisition cycle runs it:
// DrawGrid and DrawDisplay (levels, ranges, frequencies, time base, scale, trigger, 999
// erase and 999 draw segments, the store of the drawn values), on a standard block of two
// 1 kHz sines (UR a quarter period behind UL: a circle in the 500 mV range). Beside it the
// same frame with its drawing done by plain QPainter lines and texts, the baseline the
// canvas is measured against, and the drawing part of the frame alone (grid, scale,
// trigger, trace) without the measurement.
//
// "same_block": the same block in every frame, as between two block arrivals (one run of
// the input stream hands over a block about once a second while frames run back to back).
// "new_block": a different figure in every frame (the block alternates with its mirror
// image), so that no erase line coincides with its new segment.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "Graticule.h"
#include "ScopeState.h"
#include "ScreenWidget.h"
#include "TForm1.h"
#include "Trace.h"
#include "Trigger.h"

using namespace osciloskop;

namespace {

struct Blocks {
  std::vector<int16_t> figure;
  std::vector<int16_t> mirrored;
  int frame = 0;
};

Blocks MakeBlocks() {
  Blocks blocks{std::vector<int16_t>(22050), std::vector<int16_t>(22050)};
  for (int k = 0; k < 11025; ++k) {
    const double phase = 2 * M_PI * 1000 * k / 44100;
    const auto ul = static_cast<int16_t>(std::nearbyint(10000 * std::sin(phase)));
    const auto ur = static_cast<int16_t>(std::nearbyint(10000 * std::sin(phase - M_PI / 2)));
    blocks.figure[2 * k] = blocks.mirrored[2 * k] = ur;
    blocks.figure[2 * k + 1] = ul;
    blocks.mirrored[2 * k + 1] = static_cast<int16_t>(-ul);
  }
  return blocks;
}

void HandOff(TForm1& window, std::vector<int16_t>& block) {
  int32_t size = static_cast<int32_t>(block.size() * sizeof(int16_t));
  window.AudioIn1BufferFilled(block.data(), size);
}

// The window as the benchmarks run it, holding the first block.
struct BenchWindow {
  BenchWindow() {
    window.show();                          // the screen image takes the client area's size
    window.Generator().SetFrequency(1000);  // the time base follows the generator: stride 1
    HandOff(window, blocks.figure);
  }
  void NextBlock(bool newBlock) {
    if (newBlock) HandOff(window, ++blocks.frame % 2 ? blocks.mirrored : blocks.figure);
  }
  TForm1 window;
  Blocks blocks = MakeBlocks();
};

void BM_WindowFrame(benchmark::State& run, bool newBlock) {
  BenchWindow bench;
  TForm1& window = bench.window;
  for (auto _ : run) {
    bench.NextBlock(newBlock);
    window.State().urStart = 1;
    window.DrawGrid();
    window.DrawDisplay();
  }
  benchmark::DoNotOptimize(window.Screen()->image().constBits());
}

// The drawing part of the frame alone: grid, scale, trigger and trace, without the
// instrument's measurement, range and time base steps that DrawDisplay runs first.
void BM_WindowDrawing(benchmark::State& run, bool newBlock) {
  BenchWindow bench;
  TForm1& window = bench.window;
  window.DrawDisplay();  // measures once: ranges, gains and the time base settle
  for (auto _ : run) {
    if (newBlock) {  // the mirror image of the figure, straight in the channel array
      for (int k = 0; k < 11025; ++k) window.State().ulSamples[k] = -window.State().ulSamples[k];
    }
    window.State().urStart = 1;
    window.DrawGrid();
    window.DrawScale();
    FindFirstNegativeStartUR(window.State());
    FindTraceOffset(window.State());
    DrawTrace(window.canvas(), window.State(), window.ClientHeight());
  }
  benchmark::DoNotOptimize(window.Screen()->image().constBits());
}

// The frame of BM_WindowFrame with grid, scale and trace drawn by QPainter.
void DrawWithQPainter(TForm1& window, QPainter& painter) {
  ScopeState& state = window.State();
  const int cy = window.ClientHeight() / 2;
  painter.setPen(QColor(100, 100, 100));
  for (const int side : {-1, 1}) {
    for (int k = 1; k <= 10; ++k) {
      const int y = cy + side * 20 * k;
      painter.drawLine(200, y, 380, y);
      painter.drawLine(410, y, 600, y);
    }
  }
  for (int k = 1; k <= 10; ++k) {
    for (const int x : {400 - 20 * k, 400 + 20 * k}) {
      painter.drawLine(x, cy + 200, x, cy + 15);
      painter.drawLine(x, cy - 4, x, cy - 200);
    }
  }

  // The instrument's steps, the trigger included.
  window.Instrument().DisplayFrame();

  ScaleText text;
  const int ascent = painter.fontMetrics().ascent();
  painter.setPen(QColor(255, 255, 0));
  for (int k = 1; k <= 55; ++k) {
    for (const int x : {400 - 4 * k, 400 + 4 * k}) painter.drawLine(x, cy - 2, x, cy + 2);
  }
  for (int k = 1; k <= 11; ++k) {
    for (const int x : {400 - 20 * k, 400 + 20 * k}) painter.drawLine(x, cy - 4, x, cy + 4);
  }
  for (int k = 1; k <= 5; ++k) {
    const std::string_view number =
        FormatScaleNumber(k * state.ulDivisionValue * 2, kScaleFieldX, state.ulDivisionValue, text);
    const QString string = QString::fromLatin1(number.data(), std::ssize(number));
    painter.drawText(390 - 40 * k, cy + 2 + ascent, string);
    painter.drawText(390 + 40 * k, cy + 2 + ascent, string);
  }
  for (int k = 0; k <= 55; ++k) {
    for (const int y : {cy - 4 * k, cy + 4 * k}) painter.drawLine(398, y, 402, y);
  }
  for (int k = 0; k <= 10; ++k) {
    const std::string_view number =
        FormatScaleNumber(k * state.urDivisionValue, kScaleFieldY, state.urDivisionValue, text);
    const QString string = QString::fromLatin1(number.data(), std::ssize(number));
    for (const int y : {cy - 20 * k, cy + 20 * k}) {
      painter.setPen(QColor(255, 255, 0));
      painter.drawLine(396, y, 404, y);
      painter.setPen(Qt::white);
      painter.drawText(370, y - 7 + ascent, string);
    }
  }
  const TraceMapping mapping(state, window.ClientHeight());
  const int s = state.traceStride;
  const int t = state.traceOffset;
  for (int p = 2; p <= kTracePoints; ++p) {
    const ScreenPoint a = mapping.Map(state.ulPrevious[(p - 1) * s], state.urPrevious[(p - 1) * s]);
    const ScreenPoint b = mapping.Map(state.ulPrevious[p * s], state.urPrevious[p * s]);
    const ScreenPoint c =
        mapping.Map(state.ulSamples[t + (p - 1) * s], state.urSamples[t + (p - 1) * s]);
    const ScreenPoint d = mapping.Map(state.ulSamples[t + p * s], state.urSamples[t + p * s]);
    painter.setPen(Qt::black);
    painter.drawLine(a.x, a.y, b.x, b.y);
    painter.setPen(QColor(0, 255, 255));
    painter.drawLine(c.x, c.y, d.x, d.y);
  }
  StorePreviousTrace(state);
}

void BM_QPainterFrame(benchmark::State& run, bool newBlock) {
  BenchWindow bench;
  TForm1& window = bench.window;
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  for (auto _ : run) {
    bench.NextBlock(newBlock);
    window.State().urStart = 1;
    QPainter painter(&window.Screen()->image());
    painter.setFont(font);
    DrawWithQPainter(window, painter);
    painter.end();
    window.Screen()->update();
  }
  benchmark::DoNotOptimize(window.Screen()->image().constBits());
}

void RegisterFrameBenchmarks() {
  struct Frame {
    const char* name;
    void (*run)(benchmark::State&, bool);
  };
  for (const bool newBlock : {false, true}) {
    for (const Frame frame :
         {Frame{"BM_WindowFrame", BM_WindowFrame}, Frame{"BM_QPainterFrame", BM_QPainterFrame},
          Frame{"BM_WindowDrawing", BM_WindowDrawing}}) {
      const std::string name = std::string(frame.name) + (newBlock ? "/new_block" : "/same_block");
      benchmark::RegisterBenchmark(name.c_str(), frame.run, newBlock)
          ->Unit(benchmark::kMicrosecond)
          ->Repetitions(15)
          ->ReportAggregatesOnly();
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  RegisterFrameBenchmarks();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
