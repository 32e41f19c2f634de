#pragma once

// The program's command line: what a run should do, parsed from the arguments.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "ChannelFields.h"

namespace osciloskop {

enum class CardChoice { Auto, Simulated, PortAudio };

// --calibrate: the channel that carries the sine, and its RMS voltage.
struct CalibrationRequest {
  Channel channel = Channel::UL;
  double voltsRms = 0;
};

struct ProgramOptions {
  bool headless = false;          // offscreen platform even where a display exists
  std::optional<double> seconds;  // close the window after this long
  QString screenshot;             // PNG of the whole window saved at exit

  // The sound card.
  CardChoice card = CardChoice::Auto;
  bool listDevices = false;
  QString inputDevice;   // PortAudio input device by name or index; empty: the default
  QString outputDevice;  // likewise for the output
  QString urSource;      // simulated card: what each input channel hears
  QString ulSource;
  QString inputFile;  // simulated card: a sound file on both input channels
  bool virtualTime = false;
  std::optional<double> unplugAt;  // simulated card: seconds of device time to pull it out
  std::optional<double> replugAt;  // and to put it back

  // Scripting.
  bool report = false;                          // one JSON line of readouts per captured block
  QString analyzeFile;                          // measure a recording offline, then exit
  bool csv = false;                             // the lines of --report or --analyze as CSV
  std::optional<double> fullScaleVolts;         // RMS volts at the input of a full-scale sine
  QString recordFile;                           // every captured block into this WAV file
  std::optional<CalibrationRequest> calibrate;  // measure the full-scale volts, then exit
  std::optional<int> timeBase;                  // list items chosen after start-up, as a user would
  std::optional<int> ulRange;
  std::optional<int> urRange;
  std::optional<int> generatorFrequency;  // slider positions set after start-up
  std::optional<int> generatorAmplitude;
  std::optional<uint32_t> mixerDevices;  // number of mixer devices the machine reports
};

struct ParsedCommandLine {
  ProgramOptions options;
  bool exitNow = false;  // --help or --version has been answered, or the line is wrong
  int exitCode = 0;
  QString output;  // text for stdout (help, version)
  QString error;   // one-line error and the usage line, for stderr (exit code 2)
};

// Parses arguments (the first is the program name). Needs no application object.
ParsedCommandLine parseCommandLine(const QStringList& arguments);

// The text of every error about what the command line asked for, from its parsing to a
// file that fails to read mid-run: one line naming the option and the problem, then the
// usage line. Further lines of `message` (a device list) follow the usage line.
QString usageError(const QString& message);

// True when there is no display to open a window on.
bool noDisplayAvailable();

}  // namespace osciloskop
