#pragma once

// Weighted least-squares fits of one sine to a run of values x[0 ... count - 1]: the
// three-parameter fit at a known frequency and the four-parameter fit that also finds the
// frequency, by Gauss-Newton steps from a starting estimate. Time runs from the middle of the
// run, t = n - (count - 1) / 2, so the model is x[n] = a cos(w t) + b sin(w t) + offset with w
// in radians per value; in these terms the phasor of the fitted sine is a - i b.
//
// The weights are a window that falls to nearly 0 at both ends: other lines of the spectrum
// (the harmonics of a square wave, a second tone) then pull the fit only as far as the
// window's far side lobes reach, where with equal weights a run that does not hold whole
// periods would let them shift the frequency by parts per thousand.

#include <optional>

namespace osciloskop {

struct SineParameters {
  double a = 0, b = 0, offset = 0;
};

struct SineFit {
  double omega = 0;
  SineParameters parameters;
};

// Writes cos(w (n - origin)) and sin(w (n - origin)) for n < count.
void FillRotation(double omega, double origin, int count, double* cosines, double* sines);

// The fit at the frequency whose tables FillRotation wrote with origin (count - 1) / 2;
// empty when the frequency leaves the fit undetermined.
std::optional<SineParameters> FitSineAtFrequency(const double* x, const double* weights,
                                                 const double* cosines, const double* sines,
                                                 int count);

// The fit of frequency, amplitude, phase and offset started from `omega`, each step kept
// within `maxStep` radians per value. Empty when it does not converge. On return (either
// way) the tables hold the rotation at the last frequency tried, which is the result's.
std::optional<SineFit> FitSine(const double* x, const double* weights, int count, double omega,
                               double maxStep, double* cosines, double* sines);

}  // namespace osciloskop
