// The window shows what it showed when it was released: the scripted session's screen and
// controls, at every look, against the transcript recorded then.

#include <QStringList>

#include "RecordedTranscript.h"
#include "ScriptedSession.h"

namespace {

using namespace scripted_session;

class RecordedSession : public ::testing::TestWithParam<Signals> {};

TEST_P(RecordedSession, ShowsWhatTheReleasedWindowShowed) {
  Session session(TForm1::CycleMode::UntilSettled, GetParam());
  runScript(session);
  // A look that shows what the one before showed is not written again.
  QStringList lines;
  const Look* previous = nullptr;
  for (const Look& look : session.looks) {
    if (previous == nullptr || !(look == *previous)) {
      lines << QStringLiteral("%1\t%2\t%3")
                   .arg(QString::fromStdString(look.when))
                   .arg(look.screen, 16, 16, QLatin1Char('0'))
                   .arg(look.controls);
    }
    previous = &look;
  }
  lines << QStringLiteral("looks: %1").arg(session.looks.size());
  expectRecordedTranscript(
      QStringLiteral(OSCILOSKOP_SOURCE_DIR "/tests/window/recorded/%1.txt").arg(GetParam().name),
      lines);
}

INSTANTIATE_TEST_SUITE_P(Signals, RecordedSession, ::testing::ValuesIn(kSessionSignals),
                         [](const ::testing::TestParamInfo<Signals>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
