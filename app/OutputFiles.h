#pragma once

// Files the user asks the program to write (a screenshot, a recording) are written as a new
// file in the target's folder that is then renamed over the target: an existing file or
// symbolic link of that name is replaced, never written through.

#include <QString>
#include <QTemporaryFile>
#include <memory>

namespace osciloskop {

struct ProgramOptions;

// Why the files the options ask for (--screenshot, --record) cannot be written, checked
// before the run so that a bad path does not cost the run: one line naming the option and
// the problem, or empty when their folders take files. A recording may not replace a file
// the run reads, nor the screenshot.
QString outputFilesProblem(const ProgramOptions& options);

// A new, open file in the folder of `path`, readable by everyone and writable by its owner
// as a saved file is; null when the folder does not take it. Removed when destroyed unless
// it has been renamed over `path`.
std::unique_ptr<QTemporaryFile> newFileBeside(const QString& path);

// Renames `file` over `path`; false when that fails (the file stays where it was).
bool renameOver(QTemporaryFile& file, const QString& path);

}  // namespace osciloskop
