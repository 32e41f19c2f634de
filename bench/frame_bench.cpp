// One periodic display frame on a standard block of two 1 kHz sines (UR a quarter period
// behind UL, so the figure is a circle in the 500 mV range): grid, scale, trigger, 999
// erase and 999 draw segments, and the store of the drawn values. Beside it, the same frame
// drawn with plain QPainter lines and texts, as the baseline the canvas is measured against.
//
// "same_block": the same block in every frame, as between two block arrivals (about one a
// second while frames run back to back). "new_block": a new figure in every frame (UL is
// mirrored before each frame, which costs a pass over 11025 values), so that no erase line
// coincides with its new segment.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>

#include "Canvas.h"
#include "Display.h"
#include "FrequencyMeasurement.h"
#include "Graticule.h"
#include "ScopeState.h"
#include "Trace.h"

namespace {

constexpr int kClientWidth = 800;
constexpr int kClientHeight = 526;

void FillBlock(ScopeState& state) {
  state.sampleCount = 22050;
  state.traceScaleX = state.traceScaleY = 0.062923;
  state.ulGain = state.urGain = 0.2;  // the 500 mV range a 10000-count peak selects
  state.ulDivisionValue = state.urDivisionValue = 50.0;
  state.traceStride = 1;  // the time base of a 1 kHz signal
  state.urSmoothing = 16;
  for (int k = 0; k < 11025; ++k) {
    const double phase = 2 * M_PI * 1000 * k / 44100;
    state.ulSamples[k] = static_cast<int32_t>(std::nearbyint(10000 * std::sin(phase)));
    state.urSamples[k] = static_cast<int32_t>(std::nearbyint(10000 * std::sin(phase - M_PI / 2)));
  }
}

void NextBlock(bool newBlock, ScopeState& state) {
  if (!newBlock) return;
  for (int k = 0; k < 11025; ++k) state.ulSamples[k] = -state.ulSamples[k];
}

QImage Screen() {
  QImage image(kClientWidth, kClientHeight, QImage::Format_RGB32);
  image.fill(Qt::black);
  return image;
}

void BM_CanvasFrame(benchmark::State& run, bool newBlock) {
  auto state = std::make_unique<ScopeState>();
  FillBlock(*state);
  QImage image = Screen();
  Canvas canvas(image);
  for (auto _ : run) {
    NextBlock(newBlock, *state);
    state->urStart = 1;
    DrawGraticule(canvas, kClientHeight);
    DrawScaleLabels(canvas, *state, kClientHeight);
    FindFirstNegativeStartUR(*state);
    DrawTrace(canvas, *state, kClientHeight);
    benchmark::DoNotOptimize(image.constBits());
  }
}

// The same frame with QPainter: aliased one-pixel lines, texts laid out by drawText.
void BM_QPainterFrame(benchmark::State& run, bool newBlock) {
  auto state = std::make_unique<ScopeState>();
  FillBlock(*state);
  QImage image = Screen();
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  for (auto _ : run) {
    NextBlock(newBlock, *state);
    QPainter painter(&image);
    painter.setFont(font);
    const int cy = kClientHeight / 2;
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
    ScaleText text;
    painter.setPen(QColor(255, 255, 0));
    for (int k = 1; k <= 55; ++k) {
      for (const int x : {400 - 4 * k, 400 + 4 * k}) painter.drawLine(x, cy - 2, x, cy + 2);
    }
    for (int k = 1; k <= 11; ++k) {
      for (const int x : {400 - 20 * k, 400 + 20 * k}) painter.drawLine(x, cy - 4, x, cy + 4);
    }
    const int ascent = painter.fontMetrics().ascent();
    for (int k = 1; k <= 5; ++k) {
      const std::string_view number = FormatScaleNumber(k * state->ulDivisionValue * 2,
                                                        kScaleFieldX, state->ulDivisionValue, text);
      const QString string = QString::fromLatin1(number.data(), std::ssize(number));
      painter.drawText(390 - 40 * k, cy + 2 + ascent, string);
      painter.drawText(390 + 40 * k, cy + 2 + ascent, string);
    }
    for (int k = 0; k <= 55; ++k) {
      for (const int y : {cy - 4 * k, cy + 4 * k}) painter.drawLine(398, y, 402, y);
    }
    for (int k = 0; k <= 10; ++k) {
      const std::string_view number =
          FormatScaleNumber(k * state->urDivisionValue, kScaleFieldY, state->urDivisionValue, text);
      const QString string = QString::fromLatin1(number.data(), std::ssize(number));
      for (const int y : {cy - 20 * k, cy + 20 * k}) {
        painter.setPen(QColor(255, 255, 0));
        painter.drawLine(396, y, 404, y);
        painter.setPen(Qt::white);
        painter.drawText(370, y - 7 + ascent, string);
      }
    }

    state->urStart = 1;
    FindFirstNegativeStartUR(*state);
    FindTraceOffset(*state);
    const TraceMapping mapping(*state, kClientHeight);
    const int s = state->traceStride;
    const int t = state->traceOffset;
    for (int p = 2; p <= kTracePoints; ++p) {
      const ScreenPoint a =
          mapping.Map(state->ulPrevious[(p - 1) * s], state->urPrevious[(p - 1) * s]);
      const ScreenPoint b = mapping.Map(state->ulPrevious[p * s], state->urPrevious[p * s]);
      const ScreenPoint c =
          mapping.Map(state->ulSamples[t + (p - 1) * s], state->urSamples[t + (p - 1) * s]);
      const ScreenPoint d = mapping.Map(state->ulSamples[t + p * s], state->urSamples[t + p * s]);
      painter.setPen(Qt::black);
      painter.drawLine(a.x, a.y, b.x, b.y);
      painter.setPen(QColor(0, 255, 255));
      painter.drawLine(c.x, c.y, d.x, d.y);
    }
    StorePreviousTrace(*state);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}

BENCHMARK_CAPTURE(BM_CanvasFrame, same_block, false)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly();
BENCHMARK_CAPTURE(BM_QPainterFrame, same_block, false)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly();
BENCHMARK_CAPTURE(BM_CanvasFrame, new_block, true)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly();
BENCHMARK_CAPTURE(BM_QPainterFrame, new_block, true)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly();

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
