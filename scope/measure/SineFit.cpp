#include "SineFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

namespace osciloskop {

namespace {

// The frequency fit ends when a step would move the phase at the ends of the run by less
// than this many radians: with two periods or more in the run, the step not taken is below
// 2e-7 of the frequency and 1e-4 degrees of phase.
constexpr double kConvergedPhase = 1e-6;
constexpr int kMaxSteps = 12;

// Solves the symmetric system m u = r in place (r becomes u) by elimination with partial
// pivoting; false when it is singular to working precision.
template <size_t K>
bool Solve(std::array<std::array<double, K>, K>& m, std::array<double, K>& r) {
  double scale = 0;
  for (size_t i = 0; i < K; ++i) scale = std::max(scale, std::abs(m[i][i]));
  if (!(scale > 0)) return false;
  for (size_t col = 0; col < K; ++col) {
    size_t pivot = col;
    for (size_t row = col + 1; row < K; ++row)
      if (std::abs(m[row][col]) > std::abs(m[pivot][col])) pivot = row;
    if (std::abs(m[pivot][col]) <= scale * 1e-13) return false;
    std::swap(m[col], m[pivot]);
    std::swap(r[col], r[pivot]);
    for (size_t row = col + 1; row < K; ++row) {
      const double factor = m[row][col] / m[col][col];
      for (size_t k = col; k < K; ++k) m[row][k] -= factor * m[col][k];
      r[row] -= factor * r[col];
    }
  }
  for (size_t row = K; row-- > 0;) {
    for (size_t k = row + 1; k < K; ++k) r[row] -= m[row][k] * r[k];
    r[row] /= m[row][row];
  }
  return true;
}

}  // namespace

void FillRotation(double omega, double origin, int count, double* cosines, double* sines) {
  // Four rotations by 4 w side by side (one for each value of a group of four), restarted
  // from the exact angles every block of values so the rounding errors of the products
  // cannot build up.
  constexpr int kLanes = 4, kRestart = 256;
  const double stepCos = std::cos(kLanes * omega);
  const double stepSin = std::sin(kLanes * omega);
  for (int start = 0; start < count; start += kRestart) {
    std::array<double, kLanes> c, s;
    for (int lane = 0; lane < kLanes; ++lane) {
      const double angle = omega * (start + lane - origin);
      c[lane] = std::cos(angle);
      s[lane] = std::sin(angle);
    }
    const int end = std::min(count, start + kRestart);
    for (int group = start; group < end; group += kLanes) {
      for (int lane = 0; lane < kLanes && group + lane < end; ++lane) {
        cosines[group + lane] = c[lane];
        sines[group + lane] = s[lane];
      }
      for (int lane = 0; lane < kLanes; ++lane) {
        const double next = c[lane] * stepCos - s[lane] * stepSin;
        s[lane] = s[lane] * stepCos + c[lane] * stepSin;
        c[lane] = next;
      }
    }
  }
}

std::optional<SineParameters> FitSineAtFrequency(const double* x, const double* weights,
                                                 const double* cosines, const double* sines,
                                                 int count) {
  double cc = 0, cs = 0, c1 = 0, ss = 0, s1 = 0, w1 = 0, xc = 0, xs = 0, x1 = 0;
  for (int n = 0; n < count; ++n) {
    const double w = weights[n], c = cosines[n], s = sines[n], v = x[n];
    const double wc = w * c, ws = w * s;
    cc += wc * c;
    cs += wc * s;
    c1 += wc;
    ss += ws * s;
    s1 += ws;
    w1 += w;
    xc += v * wc;
    xs += v * ws;
    x1 += v * w;
  }
  std::array<std::array<double, 3>, 3> m{{{cc, cs, c1}, {cs, ss, s1}, {c1, s1, w1}}};
  std::array<double, 3> r{xc, xs, x1};
  if (!Solve(m, r)) return std::nullopt;
  return SineParameters{r[0], r[1], r[2]};
}

std::optional<SineFit> FitSine(const double* x, const double* weights, int count, double omega,
                               double maxStep, double* cosines, double* sines) {
  const double origin = (count - 1) / 2.0;
  FillRotation(omega, origin, count, cosines, sines);
  std::optional<SineParameters> fit = FitSineAtFrequency(x, weights, cosines, sines, count);
  if (!fit || !(origin > 0)) return std::nullopt;
  for (int step = 0; step < kMaxSteps; ++step) {
    const double amplitude = std::hypot(fit->a, fit->b);
    if (!(amplitude > 0)) return std::nullopt;
    // The fourth column is the derivative of the sine by w, scaled to the size of the
    // others: d = tau (-a sin + b cos) / amplitude with tau = t / origin in -1 ... 1, so
    // its coefficient is the frequency step times origin * amplitude.
    const double ua = fit->a / amplitude, ub = fit->b / amplitude;
    double cc = 0, cs = 0, c1 = 0, cd = 0, ss = 0, s1 = 0, sd = 0, w1 = 0, d1 = 0, dd = 0;
    double xc = 0, xs = 0, x1 = 0, xd = 0;
    for (int n = 0; n < count; ++n) {
      const double w = weights[n], c = cosines[n], s = sines[n], v = x[n];
      const double d = (n - origin) / origin * (ub * c - ua * s);
      const double wc = w * c, ws = w * s, wd = w * d;
      cc += wc * c;
      cs += wc * s;
      c1 += wc;
      cd += wc * d;
      ss += ws * s;
      s1 += ws;
      sd += ws * d;
      w1 += w;
      d1 += wd;
      dd += wd * d;
      xc += v * wc;
      xs += v * ws;
      x1 += v * w;
      xd += v * wd;
    }
    std::array<std::array<double, 4>, 4> m{
        {{cc, cs, c1, cd}, {cs, ss, s1, sd}, {c1, s1, w1, d1}, {cd, sd, d1, dd}}};
    std::array<double, 4> r{xc, xs, x1, xd};
    if (!Solve(m, r)) return std::nullopt;
    fit = SineParameters{r[0], r[1], r[2]};
    // A step this small is not taken: the frequency of the tables is the result.
    const double shift = std::clamp(r[3] / (origin * amplitude), -maxStep, maxStep);
    if (std::abs(shift) * origin < kConvergedPhase) return SineFit{omega, *fit};
    omega += shift;
    FillRotation(omega, origin, count, cosines, sines);
  }
  return std::nullopt;
}

}  // namespace osciloskop
