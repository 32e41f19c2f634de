#pragma once

// Power spectra of two real channels from one complex radix-2 transform: the first channel
// goes in as the real part, the second as the imaginary part.

#include <complex>
#include <vector>

namespace osciloskop {

class TwoChannelSpectrum {
 public:
  // Transforms of up to `maxSize` points (a power of two); the memory is taken here, once.
  explicit TwoChannelSpectrum(int maxSize);

  // The transform's input: `size` points (a power of two up to maxSize), to be filled by
  // the caller with first + i * second before Transform.
  std::complex<double>* Input() { return values_.data(); }

  // Transforms the first `size` input points and splits the result into the power of each
  // channel in bins 0 ... size / 2 (bin k at k / size cycles per point).
  void Transform(int size);
  const double* FirstPower() const { return firstPower_.data(); }
  const double* SecondPower() const { return secondPower_.data(); }

 private:
  // The factors of each stage one after another, as the stage reads them: the stage that
  // joins halves of `length` points reads exp(-2 pi i k / length), k < length / 2, from
  // entry length / 2 + k.
  std::vector<std::complex<double>> twiddles_;
  std::vector<std::complex<double>> values_;
  std::vector<double> firstPower_, secondPower_;
};

}  // namespace osciloskop
