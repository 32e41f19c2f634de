#include "Spectrum.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace osciloskop {

TwoChannelSpectrum::TwoChannelSpectrum(int maxSize)
    : twiddles_(static_cast<size_t>(maxSize)),
      values_(static_cast<size_t>(maxSize)),
      firstPower_(static_cast<size_t>(maxSize / 2 + 1)),
      secondPower_(static_cast<size_t>(maxSize / 2 + 1)) {
  for (int length = 2; length <= maxSize; length <<= 1) {
    for (int k = 0; k < length / 2; ++k)
      twiddles_[static_cast<size_t>(length / 2 + k)] =
          std::polar(1.0, -2 * std::numbers::pi * k / length);
  }
}

void TwoChannelSpectrum::Transform(int size) {
  std::complex<double>* z = values_.data();
  for (int i = 1, j = 0; i < size; ++i) {
    int bit = size >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(z[i], z[j]);
  }
  // Butterflies; the products are written out because std::complex's operator* takes the
  // slow path that handles infinities.
  for (int length = 2; length <= size; length <<= 1) {
    const int half = length / 2;
    const std::complex<double>* factors = twiddles_.data() + half;
    for (int start = 0; start < size; start += length) {
      for (int k = 0; k < half; ++k) {
        const std::complex<double> w = factors[k];
        std::complex<double>& top = z[start + k];
        std::complex<double>& bottom = z[start + k + half];
        const double re = bottom.real() * w.real() - bottom.imag() * w.imag();
        const double im = bottom.real() * w.imag() + bottom.imag() * w.real();
        bottom = {top.real() - re, top.imag() - im};
        top = {top.real() + re, top.imag() + im};
      }
    }
  }
  // With Z the transform of a + i b: A[k] = (Z[k] + conj Z[-k]) / 2 and
  // B[k] = (Z[k] - conj Z[-k]) / 2i.
  for (int k = 0; k <= size / 2; ++k) {
    const std::complex<double> here = z[k];
    const std::complex<double> mirror = std::conj(z[(size - k) & (size - 1)]);
    firstPower_[static_cast<size_t>(k)] = std::norm(here + mirror) / 4;
    secondPower_[static_cast<size_t>(k)] = std::norm(here - mirror) / 4;
  }
}

}  // namespace osciloskop
