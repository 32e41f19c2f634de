#include "BlockRecorder.h"

#include "OutputFiles.h"

namespace osciloskop {

namespace {

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
  std::string failure;
  std::unique_ptr<WavWriter> wav = WavWriter::start(file->handle(), &failure);
  if (!wav) {
    *error = problem(path, QString::fromStdString(failure));
    return nullptr;
  }
  if (!renameOver(*file, path)) {
    *error = problem(path, QStringLiteral("cannot replace it"));
    return nullptr;
  }
  return std::unique_ptr<BlockRecorder>(new BlockRecorder(path, std::move(file), std::move(wav)));
}

BlockRecorder::BlockRecorder(QString path, std::unique_ptr<QTemporaryFile> file,
                             std::unique_ptr<WavWriter> wav)
    : path_(std::move(path)), file_(std::move(file)), wav_(std::move(wav)) {}

BlockRecorder::~BlockRecorder() = default;

bool BlockRecorder::write(std::span<const int16_t> interleaved) {
  std::string failure;
  if (wav_->write(interleaved, &failure)) return true;
  error_ = problem(path_, QStringLiteral("cannot write: %1").arg(QString::fromStdString(failure)));
  return false;
}

}  // namespace osciloskop
