#pragma once

// The main window, a view of the instrument and the tone generator: it owns them, the stream
// components, the mixer component and every control; it forwards the controls' events to
// the instrument and the generator and shows what they hand back. Its operations are split
// over several files by what they do:
//   TForm1.cpp           construction, start-up (FormCreate), capture hand-off, idle cycle
//   TForm1Layout.cpp     the controls and the menu bar as the window lays them out
//   TForm1Commands.cpp   the commands of the control strip and the menu
//   TForm1Display.cpp    a display frame: the instrument's steps shown, grid, scale, trace
//   TForm1Generator.cpp  the generator's sliders and the output stream's blocks

#include <QMainWindow>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "Canvas.h"
#include "Instrument.h"
#include "ScopeState.h"
#include "ToneGenerator.h"
#include "mixer/Mixer.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class TAudioIn;
class TAudioMixer;
class TAudioOut;
class TScrollBar;
namespace osciloskop {
class ApplicationIdle;
class ScreenWidget;
}  // namespace osciloskop

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // When the acquisition cycle runs: after a change of what a display frame reads, until its
  // frames have settled (the program), or on every pass of the event loop, frames that change
  // nothing included (to compare the two).
  enum class CycleMode { UntilSettled, EveryPass };

  // `mixers` is the mixer service the mixer component uses: the machine's, or one the
  // command line or a test gives.
  explicit TForm1(QWidget* parent = nullptr, CycleMode cycleMode = CycleMode::UntilSettled,
                  MixerService& mixers = systemMixers());
  ~TForm1() override;

  osciloskop::Instrument& Instrument() { return *instrument_; }
  const osciloskop::Instrument& Instrument() const { return *instrument_; }
  osciloskop::ToneGenerator& Generator() { return *generator_; }
  const osciloskop::ToneGenerator& Generator() const { return *generator_; }
  // The instrument's record.
  ScopeState& State() { return instrument_->Record(); }
  const ScopeState& State() const { return instrument_->State(); }
  Canvas& canvas() { return *Canvas_; }
  osciloskop::ScreenWidget* Screen() const { return screen; }
  int ClientHeight() const;
  int ClientWidth() const;
  // Sets the window's outer size and the client height the way the form's properties do.
  void SetWindowBounds(int left, int top, int width, int height);
  void SetClientHeight(int height);

  // Repaints the window at once: the client area becomes black, the controls are drawn
  // again and whatever was drawn on the screen (grid, scale, trace) is gone.
  void RepaintWindow();

  // Something a display frame reads has changed (the captured block, a control, a command,
  // a slider, the window's size or its screen, a stream's state): the acquisition cycle
  // runs again until its frames settle. Every place that changes such an input calls this.
  void FrameInputsChanged();
  // A stream launch that failed (device busy or gone) is tried again after this wait, one
  // block period unless set. A program that moves the device clock itself by one step per
  // pass of the event loop sets 0: the retries then follow the passes, and so the clock.
  void SetLaunchRetryWait(std::chrono::milliseconds wait);
  // The cycle has run the frames that settle the latest change and waits for the next one
  // (a launch retry may still wake it).
  bool FramesSettled() const;

  // Observers for the program's scripting interface: called after every capture
  // hand-off, with the block's 16-bit values as the card delivered them (as many as the
  // capture arrays took), and after every display frame (DrawDisplay).
  std::function<void(std::span<const int16_t> values)> onBlockHandedOff;
  std::function<void()> onDisplayFrame;
  int64_t BlocksHandedOff() const { return instrument_->BlocksTaken(); }

  // --- Start-up, capture and the acquisition cycle ---
  void FormCreate(QObject* Sender);
  void FormClose(QObject* Sender);
  void FormResize(QObject* Sender);
  bool AudioIn1BufferFilled(void* Buffer, int32_t& Size);
  void AudioIn1Stop(QObject* Sender);
  void MyIdleEvent(QObject* Sender, bool& Done);
  // One pass of the acquisition cycle after the input's start attempt: in periodic display
  // the grid and a display frame, in single-shot display the measurement alone.
  void MeasureAndDisplay();

  // --- Display ---
  void DrawGrid();
  void DrawScale();
  // A display frame: the instrument's steps, then what they hand back shown (readouts,
  // warnings, captions, a cleared screen), the scale and the trace.
  void DrawDisplay();

  // --- Commands ---
  void ComboBox4Click(QObject* Sender);
  void RadioButton1Click(QObject* Sender);
  void RadioButton2Click(QObject* Sender);
  void ComboBox2Click(QObject* Sender);
  void ComboBox3Click(QObject* Sender);
  void ComboBox1Click(QObject* Sender);
  void Button2Click(QObject* Sender);
  void file1Click(QObject* Sender);

  // --- Tone generator ---
  bool AudioOut1FillBuffer(void* Buffer, int32_t& Size);
  void AudioOut1Start(QObject* Sender);
  void AudioOut1Stop(QObject* Sender);
  void ScrollBar4Change(QObject* Sender);
  void ScrollBar5Change(QObject* Sender);
  void ComboBox8Click(QObject* Sender);
  void ScrollBar5EndDrag(QObject* Sender);

  // Components.
  TAudioOut* AudioOut1 = nullptr;
  TAudioIn* AudioIn1 = nullptr;
  TAudioMixer* AudioMixer1 = nullptr;

  // Control strip.
  QComboBox* ComboBox4 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QComboBox* ComboBox2 = nullptr;
  QLineEdit* Edit12 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QComboBox* ComboBox3 = nullptr;
  QLineEdit* Edit8 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QLineEdit* Edit17 = nullptr;
  QPushButton* Button2 = nullptr;
  // Scale captions on the screen.
  QLineEdit* Edit18 = nullptr;
  QLineEdit* Edit19 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit5 = nullptr;
  // Warning panels and the off-screen diagnostic.
  QLabel* Panel2 = nullptr;
  QLabel* Panel14 = nullptr;
  QWidget* Panel3 = nullptr;
  QLineEdit* Edit11 = nullptr;
  // Generator strip.
  QLabel* Panel13 = nullptr;
  QLineEdit* Edit13 = nullptr;
  TScrollBar* ScrollBar4 = nullptr;
  TScrollBar* ScrollBar5 = nullptr;
  QLineEdit* Edit14 = nullptr;
  QComboBox* ComboBox8 = nullptr;

  // Menu bar.
  QAction* spoutn1 = nullptr;
  QAction* test2 = nullptr;
  QMenu* volbazobrazen1 = nullptr;
  QAction* dosebe1 = nullptr;
  QAction* nadsebou1 = nullptr;
  QAction* file1 = nullptr;
  QAction* mickanl1 = nullptr;
  QAction* volbarozsahu1 = nullptr;
  QAction* frekvence1 = nullptr;
  QAction* naptR1 = nullptr;
  QAction* volbarozsahu2 = nullptr;
  QAction* frekvence2 = nullptr;
  QAction* asovzkladna1 = nullptr;
  QAction* mixer1 = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();    // TForm1Layout.cpp
  void CreateMenu();        // TForm1Layout.cpp
  void CreateComponents();  // the stream and mixer components with the form's settings
  void ConnectCommands();   // TForm1Commands.cpp: the commands to their widgets and menu items
  void InstallIdleHandler();
  // After the cycle's launches: a stream still closed is tried again when the retry timer
  // fires.
  void ScheduleLaunchRetry();
  void ConnectGenerator();  // TForm1Generator.cpp: the generator strip's handlers
  void SetUpGenerator();    // TForm1Generator.cpp: the generator's start-up values

  // Shows the instrument's readouts and warnings in their controls.
  void ShowReadouts();
  // Writes the captions of the ranges a frame applied, and clears the screen after a new
  // range or time base.
  void ShowAppliedRanges(const osciloskop::FrameOutcome& outcome);

  const std::unique_ptr<osciloskop::ToneGenerator> generator_ =
      std::make_unique<osciloskop::ToneGenerator>();
  const std::unique_ptr<osciloskop::Instrument> instrument_ =
      std::make_unique<osciloskop::Instrument>(*generator_);
  osciloskop::ScreenWidget* screen = nullptr;
  std::unique_ptr<Canvas> Canvas_;

  const CycleMode cycleMode;
  MixerService& mixers;
  osciloskop::ApplicationIdle* idle = nullptr;
  int settledFrames = 0;  // cycle frames run since the latest change
  QTimer launchRetry;
  // The stream's latest launch by the cycle failed: its close notifications are those of
  // the failed attempt, and the retry timer, not the notification, runs the cycle again.
  bool inputLaunchFailed = false;
  bool outputLaunchFailed = false;
};

extern TForm1* Form1;
