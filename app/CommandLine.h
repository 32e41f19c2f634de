#pragma once

// The program's command line: what a run should do, parsed from the arguments.

#include <QString>
#include <QStringList>
#include <optional>

struct ProgramOptions {
  bool headless = false;          // offscreen platform even where a display exists
  std::optional<double> seconds;  // close the window after this long
  QString screenshot;             // PNG of the whole window saved at exit
};

struct ParsedCommandLine {
  ProgramOptions options;
  bool exitNow = false;  // --help or --version has been answered
  int exitCode = 0;
  QString output;  // text for stdout (help, version)
  QString error;   // one-line error for stderr (with the usage line), exit code 2
};

// Parses arguments (the first is the program name). Needs no application object.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

// True when there is no display to open a window on.
bool noDisplayAvailable();
