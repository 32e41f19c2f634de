#include "BlockRecorder.h"

#include <sndfile.h>

#include "Instrument.h"
#include "OutputFiles.h"

namespace osciloskop {

namespace {

constexpr int kChannels = 2;

QString problem(const QString& path, const QString& what) {
  return QStringLiteral("--record: \"%1\": %2").arg(path, what);
}

}  // namespace

std::unique_ptr<BlockRecorder> BlockRecorder::create(const QString& path, QString* error) {
  std::unique_ptr<QTemporaryFile> file = newFileBeside(path);
  if (!file) {
    *error = problem(path, QStringLiteral("cannot create a file in its folder"));
    return nullptr;
  }
  SF_INFO info{};
  info.samplerate = kCaptureRate;
  info.channels = kChannels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* sound = sf_open_fd(file->handle(), SFM_WRITE, &info, SF_FALSE);
  if (sound == nullptr) {
    *error = problem(path, QString::fromUtf8(sf_strerror(nullptr)));
    return nullptr;
  }
  // The header tells the length written so far after every write, not only at the close;
  // and it does so before the first one, where libsndfile's opening header leaves the RIFF
  // size at a placeholder that readers refuse.
  sf_command(sound, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
  sf_command(sound, SFC_UPDATE_HEADER_NOW, nullptr, 0);
  if (!renameOver(*file, path)) {
    sf_close(sound);
    *error = problem(path, QStringLiteral("cannot replace it"));
    return nullptr;
  }
  return std::unique_ptr<BlockRecorder>(new BlockRecorder(path, std::move(file), sound));
}

BlockRecorder::BlockRecorder(QString path, std::unique_ptr<QTemporaryFile> file, SNDFILE* sound)
    : path_(std::move(path)), file_(std::move(file)), sound_(sound) {}

BlockRecorder::~BlockRecorder() {
  sf_close(sound_);
}

bool BlockRecorder::write(std::span<const int16_t> interleaved) {
  const auto frames = static_cast<sf_count_t>(interleaved.size() / kChannels);
  if (sf_writef_short(sound_, interleaved.data(), frames) == frames) return true;
  error_ = problem(path_, QStringLiteral("cannot write: %1").arg(sf_strerror(sound_)));
  return false;
}

}  // namespace osciloskop
