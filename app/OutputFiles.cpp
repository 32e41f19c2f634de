#include "OutputFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#include "CommandLine.h"

namespace osciloskop {

namespace {

// Why a file cannot be written at `path`; empty when its folder takes files.
QString pathProblem(const QString& path) {
  const QFileInfo target(path);
  const QFileInfo folder(target.absolutePath());
  if (!folder.isDir()) return QStringLiteral("the folder %1 does not exist").arg(folder.filePath());
  if (!folder.isWritable())
    return QStringLiteral("the folder %1 is not writable").arg(folder.filePath());
  if (target.isDir() && !target.isSymLink()) return QStringLiteral("%1 is a folder").arg(path);
  return {};
}

// The directory entry a new file renamed over `path` replaces (a symbolic link itself, not
// what it points to), for comparison with the canonical paths of other files.
QString replacedEntry(const QString& path) {
  const QFileInfo target(path);
  return QFileInfo(target.absolutePath()).canonicalFilePath() + u'/' + target.fileName();
}

// The files the run reads: --input and the `file:` sources of --ur and --ul, whose path
// may end in ":CHANNEL".
QStringList inputFiles(const ProgramOptions& options) {
  QStringList files = {options.inputFile};
  for (const QString& source : {options.urSource, options.ulSource}) {
    if (!source.startsWith(QLatin1String("file:"))) continue;
    const QString path = source.mid(5);
    files << path;
    if (path.endsWith(QLatin1String(":0")) || path.endsWith(QLatin1String(":1")))
      files << path.chopped(2);
  }
  QStringList existing;
  for (const QString& file : files) {
    if (const QString canonical = QFileInfo(file).canonicalFilePath(); !canonical.isEmpty())
      existing << canonical;
  }
  return existing;
}

}  // namespace

QString outputFilesProblem(const ProgramOptions& options) {
  const std::pair<const char*, const QString&> outputs[] = {{"--screenshot", options.screenshot},
                                                            {"--record", options.recordFile}};
  for (const auto& [option, path] : outputs) {
    if (path.isEmpty()) continue;
    if (const QString problem = pathProblem(path); !problem.isEmpty())
      return QStringLiteral("%1: %2").arg(QString::fromUtf8(option), problem);
  }
  if (options.recordFile.isEmpty()) return {};
  const QString recording = replacedEntry(options.recordFile);
  if (inputFiles(options).contains(recording)) {
    return QStringLiteral("--record: \"%1\" is a file the run plays: it would be replaced")
        .arg(options.recordFile);
  }
  if (!options.screenshot.isEmpty() && replacedEntry(options.screenshot) == recording)
    return QStringLiteral("--record and --screenshot name the same file");
  return {};
}

std::unique_ptr<QTemporaryFile> newFileBeside(const QString& path) {
  auto file = std::make_unique<QTemporaryFile>(
      QFileInfo(path).absoluteDir().filePath(QStringLiteral(".osciloskop-XXXXXX")));
  if (!file->open() || !file->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
    return nullptr;
  }
  return file;
}

bool renameOver(QTemporaryFile& file, const QString& path) {
  if (std::rename(QFile::encodeName(file.fileName()).constData(),
                  QFile::encodeName(path).constData()) != 0) {
    return false;
  }
  file.setAutoRemove(false);  // it is the target now
  return true;
}

}  // namespace osciloskop
