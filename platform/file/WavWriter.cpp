#include "file/WavWriter.h"

#include <sndfile.h>

namespace osciloskop {

std::unique_ptr<WavWriter> WavWriter::start(int descriptor, std::string* error) {
  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = kChannels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* sound = sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
  if (sound == nullptr) {
    *error = sf_strerror(nullptr);
    return nullptr;
  }
  // The header tells the length written so far after every write, not only at the close;
  // and it does so before the first one, where libsndfile's opening header leaves the RIFF
  // size at a placeholder that readers refuse.
  sf_command(sound, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
  sf_command(sound, SFC_UPDATE_HEADER_NOW, nullptr, 0);
  return std::unique_ptr<WavWriter>(new WavWriter(sound));
}

WavWriter::~WavWriter() {
  sf_close(sound_);
}

bool WavWriter::write(std::span<const int16_t> interleaved, std::string* error) {
  const auto frames = static_cast<sf_count_t>(interleaved.size() / kChannels);
  if (sf_writef_short(sound_, interleaved.data(), frames) == frames) return true;
  *error = sf_strerror(sound_);
  return false;
}

}  // namespace osciloskop
