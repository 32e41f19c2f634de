// The whole program on real sound servers: the generator's tone leaves through PortAudio,
// comes back into the input (from the monitor of a null sink, or through JACK's loopback
// device), and the readouts measure it; and a server killed mid-run and started again.

#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

// A run of the program whose report lines and status lines are kept with the time each
// arrived (the program flushes every line).
class TimedRun {
 public:
  struct Line {
    qint64 at;  // milliseconds since the start
    QString text;
  };

  explicit TimedRun(const QStringList& arguments) {
    clock_.start();
    process_.start(QStringLiteral(OSCILOSKOP_PROGRAM), arguments);
  }
  ~TimedRun() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished();
    }
  }

  // Collects what arrives for up to `ms`; false once the program has ended.
  bool collect(int ms) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < ms) {
      if (process_.state() == QProcess::NotRunning) break;
      process_.waitForReadyRead(std::max<int>(1, ms - int(waited.elapsed())));
      take();
    }
    take();
    if (process_.state() == QProcess::NotRunning && finishedAt_ < 0) finishedAt_ = clock_.elapsed();
    return process_.state() != QProcess::NotRunning;
  }
  // Collects until the program ends or `ms` have passed; the time it ended, or -1.
  qint64 finish(int ms) {
    QElapsedTimer waited;
    waited.start();
    while (collect(100) && waited.elapsed() < ms) {
    }
    return finishedAt_;
  }
  qint64 now() const { return clock_.elapsed(); }
  int exitCode() const { return process_.exitCode(); }

  std::vector<QJsonObject> reportsAfter(qint64 at) const {
    std::vector<QJsonObject> reports;
    for (const Line& line : out_)
      if (line.at >= at) reports.push_back(QJsonDocument::fromJson(line.text.toUtf8()).object());
    return reports;
  }
  const std::vector<Line>& out() const { return out_; }
  QString err() const {
    QStringList lines;
    for (const Line& line : err_) lines << line.text;
    return lines.join('\n');
  }

 private:
  void take() {
    const qint64 at = clock_.elapsed();
    outText_ += QString::fromUtf8(process_.readAllStandardOutput());
    errText_ += QString::fromUtf8(process_.readAllStandardError());
    for (auto [text, lines] : {std::pair{&outText_, &out_}, std::pair{&errText_, &err_}}) {
      qsizetype end;
      while ((end = text->indexOf('\n')) >= 0) {
        lines->push_back({at, text->left(end)});
        text->remove(0, end + 1);
      }
    }
  }

  QProcess process_;
  QElapsedTimer clock_;
  QString outText_, errText_;
  std::vector<Line> out_, err_;
  qint64 finishedAt_ = -1;
};

// 500 Hz measured from one half-wave of the smoothed signal, which the smoothing and the
// edge search lengthen by a few values (as 1000 Hz reads 918.75 Hz), shown to ten hertz;
// amplitude 10000 over half of the channel array: about 332 mV on both channels.
bool ShowsTheTone(const QJsonObject& report) {
  static const QStringList frequencies = {"  460 Hz", "  470 Hz", "  480 Hz", "  490 Hz",
                                          "  500 Hz"};
  for (const char* level : {"urLevel", "ulLevel"})
    if (std::abs(report[level].toString().remove(" mV").toDouble() - 332) > 20) return false;
  return frequencies.contains(report["urFrequency"].toString()) &&
         frequencies.contains(report["ulFrequency"].toString());
}

const QStringList kToneRun = {
    "--card", "portaudio", "--headless", "--report", "--time-base", "0", "--generator-frequency",
    "500"};

// The first capture may start before the tone has reached the input; by the end of the run
// the tone fills the recorded block.
void ExpectItsOwnToneMeasured(const QStringList& devices) {
  TimedRun run(kToneRun + devices + QStringList{"--seconds", "4"});
  ASSERT_GE(run.finish(60000), 0) << "the program did not end";
  ASSERT_EQ(run.exitCode(), 0) << run.err().toStdString();
  const std::vector<QJsonObject> reports = run.reportsAfter(0);
  ASSERT_GE(reports.size(), 4u) << run.err().toStdString();
  EXPECT_TRUE(ShowsTheTone(reports.back())) << run.out().back().text.toStdString();
  EXPECT_FALSE(run.err().contains("lost")) << run.err().toStdString();
}

// The process id of the server that the fixture keeps in `dir`.
pid_t ServerPid(const char* dir) {
  QFile pidFile(QString::fromUtf8(dir) + "/server.pid");
  return pidFile.open(QIODevice::ReadOnly) ? pidFile.readAll().trimmed().toInt() : 0;
}

// The server stopped (SIGSTOP) for as long as it lives: it holds its clients' connections
// but answers nothing, as a hung server does.
class StoppedServer {
 public:
  explicit StoppedServer(pid_t pid) : pid_(pid) { stopped_ = pid_ > 0 && kill(pid_, SIGSTOP) == 0; }
  ~StoppedServer() { resume(); }
  bool stopped() const { return stopped_; }
  void resume() {
    if (stopped_) kill(pid_, SIGCONT);
    stopped_ = false;
  }

 private:
  pid_t pid_;
  bool stopped_;
};

// The first report at or after `at` that shows the tone, and the time it came; -1 if none.
qint64 ToneMeasuredAfter(const TimedRun& run, qint64 at) {
  for (const TimedRun::Line& line : run.out())
    if (line.at >= at && ShowsTheTone(QJsonDocument::fromJson(line.text.toUtf8()).object()))
      return line.at;
  return -1;
}

}  // namespace

TEST(ProgramOnSoundServer, MeasuresItsOwnGeneratorTone) {
  ExpectItsOwnToneMeasured({});
}

namespace {

// A sound server's fixture: the script that starts it, and the folder it keeps it in.
struct Fixture {
  const char* script;
  const char* dirVariable;  // the script's variable for the folder
  const char* dir;
};
const Fixture kPulse = {"pulse-fixture", "PULSE_FIXTURE_DIR", OSCILOSKOP_PULSE_FIXTURE_DIR};
const Fixture kJack = {"jack-fixture", "JACK_FIXTURE_DIR", OSCILOSKOP_JACK_FIXTURE_DIR};

// A run on `devices` whose server is killed by its process id (as when it crashes) and
// started again: the streams come back by themselves, the user is told once of each, and
// the program still ends on time. `tone`: the devices carry the program's tone back to it,
// so the readouts must show it again, not only move again.
void ExpectRecoveryFromAKilledServer(const Fixture& server, const QStringList& devices, bool tone) {
  constexpr int kSeconds = 16;
  TimedRun run(kToneRun + devices + QStringList{"--seconds", QString::number(kSeconds)});
  // The first recordings may start before the tone has reached the input; and the kill
  // comes once the streams run steadily, past their start-up allowance.
  auto ready = [&] {
    const auto reports = run.reportsAfter(0);
    return run.now() >= 3000 && !reports.empty() && (!tone || ShowsTheTone(reports.back()));
  };
  while (run.collect(100) && run.now() < 8000 && !ready()) {
  }
  ASSERT_TRUE(ready()) << run.err().toStdString();

  ASSERT_EQ(kill(ServerPid(server.dir), SIGKILL), 0);
  const qint64 killedAt = run.now();
  // The loss is noticed within about a second, and its streams stopped within half a second
  // more; the block it hands back is the last one shown.
  run.collect(2500);
  const std::size_t reportsWhileAway = run.reportsAfter(killedAt + 2000).size();

  QProcess restart;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(server.dirVariable, server.dir);
  restart.setProcessEnvironment(environment);
  restart.start(QStringLiteral(OSCILOSKOP_SOURCE_DIR "/scripts/") + server.script, {"start"});
  while (!restart.waitForFinished(50)) run.collect(0);
  ASSERT_EQ(restart.exitCode(), 0) << restart.readAllStandardError().toStdString();
  const qint64 backAt = run.now();

  const qint64 finishedAt = run.finish(30000);
  ASSERT_GE(finishedAt, 0) << "the program did not end";
  EXPECT_EQ(run.exitCode(), 0) << run.err().toStdString();
  EXPECT_LE(finishedAt, (kSeconds + 2) * 1000) << "the program must end within 2 s of its time";
  EXPECT_EQ(reportsWhileAway, 0u) << "nothing is recorded while the server is away";

  const auto after = run.reportsAfter(backAt);
  const qint64 recoveredAt = tone            ? ToneMeasuredAfter(run, backAt)
                             : after.empty() ? -1
                                             : run.out()[run.out().size() - after.size()].at;
  ASSERT_GE(recoveredAt, 0) << "the readouts never moved again\n" << run.err().toStdString();
  std::printf("server ready %lld ms after the kill; measured again %lld ms after that\n",
              static_cast<long long>(backAt - killedAt),
              static_cast<long long>(recoveredAt - backAt));
  EXPECT_LE(recoveredAt - backAt, 3000);
  for (const char* status :
       {"sound input lost: ", "sound output lost: ", "sound input back: ", "sound output back: "}) {
    EXPECT_EQ(run.err().count(QString::fromUtf8(status)), 1) << status << '\n'
                                                             << run.err().toStdString();
  }
}

// The tone measured again within 3 s of the server answering again at `resumedAt`.
void ExpectTheToneSoonAfter(const TimedRun& run, qint64 resumedAt) {
  const qint64 recoveredAt = ToneMeasuredAfter(run, resumedAt);
  ASSERT_GE(recoveredAt, 0) << run.err().toStdString();
  std::printf("the tone measured %lld ms after the server answered again\n",
              static_cast<long long>(recoveredAt - resumedAt));
  EXPECT_LE(recoveredAt - resumedAt, 3000);
}

}  // namespace

TEST(ProgramOnSoundServer, RecoversWhenTheServerIsKilledAndStartedAgain) {
  ExpectRecoveryFromAKilledServer(kPulse, {}, true);
}

// A server that hangs mid-run (SIGSTOP) and goes on five seconds later (SIGCONT): the
// streams left inside PortAudio's calls are closed before new ones open, so the server then
// holds one stream each way of the program, and no readout shows more than the one tone
// (an old output stream playing beside the new one would add a second copy).
TEST(ProgramOnSoundServer, RecoversFromAServerThatHangsForAWhile) {
  constexpr int kSeconds = 16;
  TimedRun run(kToneRun + QStringList{"--seconds", QString::number(kSeconds)});
  while (run.collect(100) && run.now() < 8000 &&
         (run.now() < 3000 || !ShowsTheTone(run.reportsAfter(0).back()))) {
  }
  ASSERT_TRUE(ShowsTheTone(run.reportsAfter(0).back())) << run.err().toStdString();
  {
    StoppedServer server(ServerPid(kPulse.dir));
    ASSERT_TRUE(server.stopped());
    run.collect(5000);
  }
  const qint64 resumedAt = run.now();
  run.collect(4000);
  // The fixture's own two keep-alive streams, and the program's.
  for (const char* streams : {"sink-inputs", "source-outputs"}) {
    QProcess pactl;
    pactl.start("pactl", {"list", "short", streams});
    ASSERT_TRUE(pactl.waitForFinished(5000));
    EXPECT_EQ(QString::fromUtf8(pactl.readAllStandardOutput()).count('\n'), 2) << streams;
  }
  ASSERT_GE(run.finish(30000), 0) << "the program did not end";
  EXPECT_EQ(run.exitCode(), 0) << run.err().toStdString();
  for (const QJsonObject& report : run.reportsAfter(resumedAt))
    for (const char* level : {"urLevel", "ulLevel"})
      EXPECT_LE(report[level].toString().remove(" mV").toDouble(), 332 + 20)
          << QJsonDocument(report).toJson().toStdString();
  ExpectTheToneSoonAfter(run, resumedAt);
}

// A server that does not answer at start-up (stopped with SIGSTOP): --list-devices gives up
// after two seconds with one line and status 2; a run comes up without it, says so once,
// does not take the simulated card instead, and measures the tone soon after the server
// answers again (SIGCONT).
TEST(ProgramOnSoundServer, StartsAgainstAServerThatDoesNotAnswer) {
  StoppedServer server(ServerPid(kPulse.dir));
  ASSERT_TRUE(server.stopped());
  {
    TimedRun list({"--list-devices"});
    const qint64 ended = list.finish(30000);
    ASSERT_GE(ended, 0) << "--list-devices did not end";
    EXPECT_LE(ended, 4000);
    EXPECT_EQ(list.exitCode(), 2);
    EXPECT_TRUE(
        list.err().startsWith("osciloskop: --list-devices: PortAudio: the sound server "
                              "did not answer within 2 s\n"))
        << list.err().toStdString();
  }
  constexpr int kSeconds = 10;
  TimedRun run(kToneRun + QStringList{"--seconds", QString::number(kSeconds)});
  run.collect(3500);
  EXPECT_TRUE(run.reportsAfter(0).empty()) << "nothing is recorded while the server is stopped";
  server.resume();
  const qint64 resumedAt = run.now();
  const qint64 finishedAt = run.finish(30000);
  ASSERT_GE(finishedAt, 0) << "the program did not end";
  EXPECT_EQ(run.exitCode(), 0) << run.err().toStdString();
  EXPECT_LE(finishedAt, (2 + kSeconds + 2) * 1000) << "start-up waits at most 2 s";
  EXPECT_EQ(run.err().count("did not answer within 2 s"), 1) << run.err().toStdString();
  EXPECT_FALSE(run.err().contains("simulated")) << run.err().toStdString();
  ExpectTheToneSoonAfter(run, resumedAt);
}

// JACK at 48000 frames per second: the program opens the devices at the server's rate and
// converts; its tone comes back through the loopback device (scripts/jack-fixture).
TEST(ProgramOnJack, MeasuresItsOwnToneThroughA48kHzServer) {
  ExpectItsOwnToneMeasured({"--input-device", "loopback", "--output-device", "loopback"});
}

// jackd killed and started again, under the default device (ALSA's jack device, beside
// PortAudio's own JACK host API, whose client dies with the server) and under the loopback
// device of PortAudio's JACK host API, whose streams wait for the dead server to stop them.
TEST(ProgramOnJack, RecoversWhenTheServerIsKilledAndStartedAgain) {
  ExpectRecoveryFromAKilledServer(kJack, {}, false);
}

TEST(ProgramOnJack, RecoversOnTheLoopbackDeviceWhenTheServerIsKilledAndStartedAgain) {
  ExpectRecoveryFromAKilledServer(
      kJack, {"--input-device", "loopback", "--output-device", "loopback"}, true);
}

// PipeWire through its PulseAudio service, with a null sink (scripts/pipewire-fixture).
TEST(ProgramOnPipeWire, MeasuresItsOwnGeneratorTone) {
  ExpectItsOwnToneMeasured({});
}
