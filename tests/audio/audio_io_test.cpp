// What both stream components share: published properties, the block and header store, and
// the callback windows.

#include "StreamTestSupport.h"

namespace {

TEST(AudioIOProperties, DefaultsOfANewStream) {
  QObject owner;
  TAudioIn stream(&owner);
  EXPECT_EQ(stream.BufferSize(), 8192);
  EXPECT_EQ(stream.NumBuffers(), 4);
  EXPECT_EQ(stream.FrameRate(), 22050);
  EXPECT_FALSE(stream.Stereo());
  EXPECT_EQ(stream.Quantization(), 16);
  EXPECT_EQ(stream.DeviceId(), WAVE_MAPPER);
  // Packed fields are compared by value (unary plus), never bound to references.
  const WAVEFORMATEX& f = stream.WaveFormat();
  EXPECT_EQ(+f.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(+f.nBlockAlign, 2);
  EXPECT_EQ(+f.nAvgBytesPerSec, 44100u);
  EXPECT_EQ(+f.cbSize, 0);
  for (int i = 0; i < TAudioIO::kMaxBuffers; ++i) {
    ASSERT_NE(stream.Buffer(i), nullptr);
    EXPECT_EQ(stream.Header(i)->lpData, stream.Buffer(i));
  }
}

TEST(AudioIOProperties, BufferSizeIsFlooredAndAligned) {
  struct Case {
    bool stereo;
    uint16_t bits;
    int32_t written;
    int32_t read;
    int32_t requested;
  };
  const Case cases[] = {
      {true, 16, 100, 512, 512},       {true, 16, -5, 512, 512},
      {false, 16, 0, 512, 512},        {false, 16, 22001, 22000, 22001},
      {false, 8, 22001, 22001, 22001}, {true, 16, 44100, 44100, 44100},
      {true, 16, 44103, 44100, 44103}, {true, 8, 44103, 44102, 44103},
  };
  for (const Case& c : cases) {
    QObject owner;
    TAudioOut stream(&owner);
    stream.SetStereo(c.stereo);
    stream.SetQuantization(c.bits);
    stream.SetBufferSize(c.written);
    EXPECT_EQ(stream.BufferSize(), c.read) << c.written;
    EXPECT_EQ(stream.RequestedBufferSize(), c.requested) << c.written;
  }
}

TEST(AudioIOProperties, ClampsAndFormat) {
  QObject owner;
  TAudioIn stream(&owner);
  const std::pair<uint16_t, uint16_t> bits[] = {{12, 16}, {0, 8},  {8, 8},
                                                {7, 8},   {9, 16}, {65535, 16}};
  for (auto [written, stored] : bits) {
    stream.SetQuantization(written);
    EXPECT_EQ(stream.Quantization(), stored) << written;
  }
  const std::pair<int32_t, int32_t> counts[] = {{10, 4}, {1, 2}, {0, 2}, {-3, 2}, {3, 3}, {4, 4}};
  for (auto [written, stored] : counts) {
    stream.SetNumBuffers(written);
    EXPECT_EQ(stream.NumBuffers(), stored) << written;
  }
  stream.SetQuantization(16);
  stream.SetStereo(true);
  EXPECT_EQ(+stream.WaveFormat().nChannels, 2);
  stream.SetFrameRate(44100);
  EXPECT_EQ(+stream.WaveFormat().nAvgBytesPerSec, 176400u);
  EXPECT_EQ(+stream.WaveFormat().nBlockAlign, 4);
  stream.SetStereo(false);
  EXPECT_EQ(+stream.WaveFormat().nChannels, 1);
  EXPECT_FALSE(stream.Stereo());
  EXPECT_EQ(+stream.WaveFormat().nAvgBytesPerSec, 88200u);
}

TEST(AudioIOProperties, FormatChangesRealignButKeepTheBlocks) {
  QObject owner;
  TAudioOut stream(&owner);
  stream.SetBufferSize(22001);
  char* block = stream.Buffer(0);
  EXPECT_EQ(stream.BufferSize(), 22000);
  stream.SetQuantization(8);
  EXPECT_EQ(stream.BufferSize(), 22001);
  EXPECT_EQ(stream.Buffer(0), block);
  stream.SetNumBuffers(2);
  stream.SetBufferSize(1000);
  stream.SetNumBuffers(4);
  for (int i = 0; i < TAudioIO::kMaxBuffers; ++i)
    EXPECT_NE(stream.Buffer(i), nullptr) << "raising NumBuffers leaves no position without memory";
}

// Memory that refuses the next `allocations` allocations and the next `locks` locks.
class RefusingMemory : public GlobalMemory {
 public:
  HGLOBAL GlobalAlloc(uint32_t flags, std::size_t bytes) override {
    if (allocations > 0) {
      --allocations;
      return nullptr;
    }
    return GlobalMemory::GlobalAlloc(flags, bytes);
  }
  void* GlobalLock(HGLOBAL memory) override {
    if (locks > 0) {
      --locks;
      return nullptr;
    }
    return GlobalMemory::GlobalLock(memory);
  }

  int allocations = 0;
  int locks = 0;
};

class AudioIOStore : public StreamTest {
 protected:
  // A stream frees its store into the memory it was given: it goes before the memory does.
  ~AudioIOStore() override {
    delete AudioIn1;
    AudioIn1 = nullptr;
  }

  RefusingMemory memory;
};

TEST_F(AudioIOStore, FailuresLeaveTheirMessageAndAnEmptyStore) {
  struct Case {
    bool atConstruction;
    int allocations, locks;  // refused
    const char* message;
    bool headersMade;
  };
  const Case cases[] = {
      {true, 1, 0, "Error allocating wave header memory", false},
      {true, 0, 1, "Could not lock header memory for recording", false},
      {false, 1, 0, "Error allocating wave buffer memory", true},
      {false, 0, 1, "Error Locking wave buffer memory", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const auto refuse = [&] {
      memory.allocations = c.allocations;
      memory.locks = c.locks;
    };
    if (c.atConstruction) refuse();
    TAudioIn stream(&owner, memory);
    if (!c.atConstruction) {
      refuse();
      stream.SetBufferSize(4096);
    }
    EXPECT_EQ(stream.ErrorMessage(), c.message);
    for (int i = 0; i < TAudioIO::kMaxBuffers; ++i) {
      EXPECT_EQ(stream.Header(i) != nullptr, c.headersMade);
      // A header store failure still leaves the blocks made, without writing to headers.
      EXPECT_EQ(stream.Buffer(i) != nullptr, c.atConstruction);
    }
    // The next open makes what is missing and runs.
    TAudioIn* ref = &stream;
    EXPECT_TRUE(stream.Launch(&ref)) << stream.ErrorMessage().toStdString();
    EXPECT_EQ(stream.Header(0)->lpData, stream.Buffer(0));
    stream.AbortStream();
    deliverPostedEvents();
  }
}

TEST_F(AudioIOStore, AnOpenThatCannotMakeTheStoreFailsWithoutADevice) {
  AudioIn1 = new TAudioIn(&owner, memory);
  memory.allocations = 1;
  AudioIn1->SetBufferSize(4096);
  memory.allocations = 1;
  EXPECT_FALSE(AudioIn1->Launch(&AudioIn1));
  EXPECT_EQ(AudioIn1->ErrorMessage(), "Error allocating wave buffer memory");
  EXPECT_FALSE(AudioIn1->DeviceOpen());
  EXPECT_EQ(AudioIn1->CallbackWindow(), nullptr);
  AudioIn1->SetBufferSize(4096);  // a later write tries again
  EXPECT_NE(AudioIn1->Buffer(3), nullptr);
  EXPECT_TRUE(AudioIn1->Launch(&AudioIn1));
}

TEST_F(StreamTest, CallbackWindowsStayBoundedOverManyReopenings) {
  makeInput();
  AudioIn1->SetBufferSize(512);  // 128 frames a block keeps the run short
  int stops = 0;
  QObject* lastSender = nullptr;
  AudioIn1->OnStop = [&](QObject* sender) {
    ++stops;
    lastSender = sender;
  };
  AudioIn1->OnBufferFilled = [](void*, int32_t&) { return false; };
  int maxWindows = 0;
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(AudioIn1->Launch(&AudioIn1)) << i << AudioIn1->ErrorMessage().toStdString();
    while (AudioIn1->DeviceOpen()) run(512.0 / 4 / 44100);
    maxWindows = std::max(maxWindows, callbackWindows());
  }
  deliverPostedEvents();
  EXPECT_EQ(stops, 1000) << "every close notification found its window";
  EXPECT_EQ(lastSender, AudioIn1->CallbackWindow());
  EXPECT_LE(maxWindows, 2);
  EXPECT_EQ(callbackWindows(), 1);
}

// Also when the owner goes first and takes the streams with it.
TEST_F(StreamTest, DestructionStopsAnOpenDeviceAndItsWindows) {
  makeInput();
  auto* window = new QObject;
  auto* output = new TAudioOut(window);
  output->OnFillBuffer = [](void*, int32_t&) { return true; };
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  ASSERT_TRUE(output->Launch(&output));
  run(0.3);
  delete AudioIn1;
  AudioIn1 = nullptr;
  delete window;
  run(1.0);  // notifications already posted must find nothing of the streams
  EXPECT_EQ(callbackWindows(), 0);
  NotificationLog log;
  const WAVEFORMATEX format = pcmFormat(1, 16, 44100);
  HWAVEIN in = nullptr;
  HWAVEOUT out = nullptr;
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
  waveInClose(in);
  waveOutClose(out);
}

}  // namespace
