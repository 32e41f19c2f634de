#pragma once

// The recording a run keeps of its input (--record): every block the capture hand-off
// receives, as 16-bit stereo WAV at 44100 frames per second, the first channel UR as the
// card delivers it. Each block is written as it arrives and the WAV header is brought up to
// date after each, so the file on disk is a whole, readable recording at every moment: when
// the run ends, when it is stopped by a signal, even when the process is killed.

#include <QString>
#include <QTemporaryFile>
#include <cstdint>
#include <memory>
#include <span>

typedef struct sf_private_tag SNDFILE;  // libsndfile's handle, as <sndfile.h> declares it

namespace osciloskop {

class BlockRecorder {
 public:
  // Starts the recording at `path`: a new file that replaces what was there (a symbolic
  // link is replaced, not written through). Null, with *error set to one line naming
  // --record, the file and the problem, when it cannot be made.
  static std::unique_ptr<BlockRecorder> create(const QString& path, QString* error);
  ~BlockRecorder();
  BlockRecorder(const BlockRecorder&) = delete;
  BlockRecorder& operator=(const BlockRecorder&) = delete;

  // Appends the stereo frames of `interleaved`; false, with error() set, when they could
  // not all be written.
  bool write(std::span<const int16_t> interleaved);
  const QString& error() const { return error_; }

 private:
  BlockRecorder(QString path, std::unique_ptr<QTemporaryFile> file, SNDFILE* sound);

  const QString path_;
  std::unique_ptr<QTemporaryFile> file_;  // holds the descriptor libsndfile writes to
  SNDFILE* sound_;
  QString error_;
};

}  // namespace osciloskop
