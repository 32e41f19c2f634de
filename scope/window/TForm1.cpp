// The main window's construction, start-up, capture hand-off and acquisition cycle.

#include "TForm1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QResizeEvent>
#include <algorithm>

#include "ApplicationIdle.h"
#include "AudioIO.h"
#include "AudioMixer.h"
#include "ListItems.h"
#include "ScreenWidget.h"
#include "StreamLaunch.h"

using namespace osciloskop;

TForm1* Form1 = nullptr;

namespace {

// Frames that follow a change of their inputs before a further frame would change nothing:
// the first draws the new figure, but its erase lines cut the old figure out of the grid
// and the scale, and its UL diagnostic shows the UR peak of the frame before; the second
// restores grid and scale and shows both peaks of the block.
constexpr int kSettlingFrames = 2;

// About one block period of the input.
constexpr std::chrono::milliseconds kLaunchRetryWait{250};

}  // namespace

TForm1::TForm1(QWidget* parent, CycleMode cycleMode, MixerService& mixers)
    : QMainWindow(parent), cycleMode(cycleMode), mixers(mixers) {
  setWindowTitle(
      QStringLiteral("dvoukanálový osciloskop pro  zvukovou kartu  verze UNI  Zelvatec"));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);

  screen = new ScreenWidget(this);
  setCentralWidget(screen);
  connect(screen, &ScreenWidget::wiped, this, &TForm1::FrameInputsChanged);
  launchRetry.setSingleShot(true);
  launchRetry.setInterval(kLaunchRetryWait);
  connect(&launchRetry, &QTimer::timeout, this, [this] {
    if (idle != nullptr) idle->wake();
  });
  Canvas_ = std::make_unique<Canvas>(screen->image());
  CreateMenu();
  CreateControls();
  CreateComponents();
  ConnectCommands();
  ConnectGenerator();
  FormCreate(this);
}

TForm1::~TForm1() = default;

void TForm1::CreateComponents() {
  // The stream settings of the window's form: BufferSize is written before FrameRate and
  // Stereo, as the form applies them.
  AudioOut1 = new TAudioOut(this);
  AudioOut1->SetBufferSize(22000);
  AudioOut1->SetFrameRate(44100);
  AudioOut1->OnStart = [this](QObject* sender) { AudioOut1Start(sender); };
  AudioOut1->OnStop = [this](QObject* sender) { AudioOut1Stop(sender); };
  AudioOut1->OnFillBuffer = [this](void* buffer, int32_t& size) {
    return AudioOut1FillBuffer(buffer, size);
  };

  AudioIn1 = new TAudioIn(this);
  AudioIn1->SetBufferSize(44100);
  AudioIn1->SetFrameRate(44100);
  AudioIn1->SetStereo(true);
  AudioIn1->OnBufferFilled = [this](void* buffer, int32_t& size) {
    return AudioIn1BufferFilled(buffer, size);
  };
  AudioIn1->OnStop = [this](QObject* sender) { AudioIn1Stop(sender); };

  AudioMixer1 = new TAudioMixer(this, mixers);
}

int TForm1::ClientHeight() const {
  return screen->height();
}
int TForm1::ClientWidth() const {
  return screen->width();
}

void TForm1::SetWindowBounds(int left, int top, int width, int height) {
  move(left, top);
  resize(width, height);
  if (QLayout* l = layout()) l->activate();
}

void TForm1::SetClientHeight(int height) {
  // The client area lies under the menu bar, whose height depends on how its titles wrap
  // at the window's width.
  const int menuHeight = menuBar()->heightForWidth(width());
  resize(width(), (menuHeight > 0 ? menuHeight : menuBar()->sizeHint().height()) + height);
  if (QLayout* l = layout()) l->activate();
}

void TForm1::RepaintWindow() {
  screen->clearAndRepaint();
}

void TForm1::FormCreate(QObject* /*Sender*/) {
  // The instrument has its start values; the window lays itself out and shows them.
  SetWindowBounds(0, 0, 800, 525);
  SetClientHeight(526);

  int centre = ClientHeight() / 2;
  Edit18->move(Edit18->x(), centre - 234);
  Edit2->move(Edit2->x(), centre + 2);
  Edit19->move(Edit19->x(), centre + 220);
  Edit5->move(Edit5->x(), centre + 2);

  RadioButton1->setChecked(true);
  DrawGrid();

  ComboBox1->setCurrentIndex(Instrument::kStartItems.timeBase);
  ComboBox2->setCurrentIndex(Instrument::kStartItems.ulRange);
  ComboBox3->setCurrentIndex(Instrument::kStartItems.urRange);
  ComboBox4->setCurrentIndex(0);

  SetUpGenerator();

  LaunchWithRetry(AudioOut1);
  InstallIdleHandler();
}

void TForm1::InstallIdleHandler() {
  idle = new ApplicationIdle(this);
  idle->setHandler([this](QObject* sender, bool& done) { MyIdleEvent(sender, done); });
}

void TForm1::FrameInputsChanged() {
  settledFrames = 0;
  if (idle != nullptr) idle->wake();
}

void TForm1::SetLaunchRetryWait(std::chrono::milliseconds wait) {
  launchRetry.setInterval(wait);
}

bool TForm1::FramesSettled() const {
  return settledFrames >= kSettlingFrames;
}

bool TForm1::AudioIn1BufferFilled(void* Buffer, int32_t& Size) {
  const std::span<const int16_t> taken = instrument_->TakeBlock(
      std::span(static_cast<const int16_t*>(Buffer), static_cast<size_t>(std::max(Size / 2, 0))));
  FrameInputsChanged();
  if (onBlockHandedOff) onBlockHandedOff(taken);
  return false;
}

void TForm1::AudioIn1Stop(QObject* /*Sender*/) {
  // The cycle starts the next recording run at its next pass; after a failed launch of its
  // own (whose close this is) the retry timer runs it.
  if (!inputLaunchFailed) FrameInputsChanged();
}

void TForm1::MyIdleEvent(QObject* /*Sender*/, bool& Done) {
  // While a recording run is still open both calls fail at once and change nothing; after
  // the run has closed itself the first call starts the next one.
  LaunchWithRetry(AudioIn1);
  // The tone plays from start-up to exit: an output that a lost device closed starts again.
  if (AudioOut1 != nullptr && !AudioOut1->DeviceOpen()) LaunchWithRetry(AudioOut1);
  MeasureAndDisplay();
  ScheduleLaunchRetry();
  // A change during the frame (a new range or time base clears the screen) makes this frame
  // the first of the settling ones: the next draws the grid again.
  settledFrames = std::min(settledFrames + 1, kSettlingFrames);
  Done = cycleMode == CycleMode::UntilSettled && FramesSettled();
}

void TForm1::ScheduleLaunchRetry() {
  inputLaunchFailed = AudioIn1 != nullptr && !AudioIn1->DeviceOpen();
  outputLaunchFailed = AudioOut1 != nullptr && !AudioOut1->DeviceOpen();
  // A timer already running keeps its time, so that frames woken by other changes do not
  // put the retry off.
  if ((inputLaunchFailed || outputLaunchFailed) && !launchRetry.isActive()) launchRetry.start();
}

void TForm1::MeasureAndDisplay() {
  if (instrument_->StartPass()) {
    DrawGrid();
    DrawDisplay();
  } else {
    ShowReadouts();
  }
}

void TForm1::FormClose(QObject* /*Sender*/) {}

void TForm1::FormResize(QObject* /*Sender*/) {
  RepaintWindow();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  // Qt also delivers resize events that only catch up on a size set while hidden (for
  // example when the window is rendered for a screenshot); only a real change of size is
  // a resize of the window.
  if (event->size() != event->oldSize()) FormResize(this);
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose(this);
  event->accept();
}
