#pragma once

// The recording a run keeps of its input (--record): every block the capture hand-off
// receives, as the WAV writer writes it (16-bit stereo at 44100 frames per second, the first
// channel UR as the card delivers it, a whole, readable file at every moment), into a new
// file renamed over the path given.

#include <QString>
#include <QTemporaryFile>
#include <cstdint>
#include <memory>
#include <span>

#include "file/WavWriter.h"

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
  BlockRecorder(QString path, std::unique_ptr<QTemporaryFile> file, std::unique_ptr<WavWriter> wav);

  const QString path_;
  std::unique_ptr<QTemporaryFile> file_;  // holds the descriptor the writer writes to
  const std::unique_ptr<WavWriter> wav_;
  QString error_;
};

}  // namespace osciloskop
