// The link on a wire: the COM transport, register blocks and polls as bytes, status
// frames read from the port (resync, partial frames, hang-up) and the reader thread.
#include <gtest/gtest.h>

#include <unistd.h>

#include <mutex>

#include "frame/settings.h"
#include "link/control_block.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "link/status_reader.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "support/frame_bytes.h"
#include "support/pty_link.h"
#include "support/temp_folder.h"
#include "support/wait_for.h"
#include "tracer/run_state.h"

namespace zolt::link {
namespace {

using Bytes = std::vector<uint8_t>;
using zolt::testing::FrameBytes;
using zolt::testing::PtyLink;
using zolt::testing::WaitFor;

constexpr int Ramping = 2;

int Waiting() { return platform::SerialBytesWaiting(InstrumentSerialPort); }

class LinkIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    frame::AppSettings.ComPort = 3;
    LinkState.Connected = 0;
    LinkState.BadFrameCount = 0;
    tracer::RunControl = {};
    tracer::RunControl.StepIndex = -1;  // as at the start of a run
    tracer::RunControl.PointIndex = -1;
    std::fill(std::begin(RegisterImage), std::end(RegisterImage), 0);
  }
  void TearDown() override {
    ASSERT_TRUE(StopLinkThread());
    CloseInstrumentComPort();
  }
  // Opens COM<n> on a fresh pseudo-terminal.
  void Connect(PtyLink& pty) {
    ASSERT_TRUE(pty.Ok());
    std::lock_guard lock(InstrumentMutex);
    ASSERT_EQ(OpenInstrumentComPort(), 1);
  }
  int NewFrame() {
    std::lock_guard lock(InstrumentMutex);
    return tracer::RunControl.NewFrame;
  }
  zolt::testing::TempFolder folder_;
};

// ---- the COM transport ----

TEST_F(LinkIoTest, OpensThePortNamedAfterTheSetting) {
  frame::AppSettings.ComPort = 12;
  PtyLink pty(12);
  const int64_t before = platform::ElapsedMilliseconds();
  Connect(pty);
  EXPECT_EQ(LinkState.Connected.load(), 1);
  EXPECT_GE(LinkState.LastPollTime.load(), before);
  EXPECT_EQ(LinkState.LastGoodFrameTime.load(), LinkState.LastPollTime.load());
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
  CloseInstrumentComPort();
  EXPECT_EQ(LinkState.Connected.load(), 0);
  EXPECT_FALSE(platform::IsSerialPortOpen(InstrumentSerialPort));
}

TEST_F(LinkIoTest, AFailedOpenIsReported) {
  zolt::testing::MakeFolder("ports");
  platform::headless::Reset();
  LinkState.Connected = 1;
  // ports/COM3 leads nowhere.
  ASSERT_EQ(::symlink("/nonexistent/tty", "ports/COM3"), 0);
  EXPECT_EQ(OpenInstrumentComPort(), 0);
  EXPECT_EQ(LinkState.Connected.load(), 0);
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_EQ(platform::headless::MessagesShown()[0].Title,
            "ERROR - USB/COM service unable to start");
  EXPECT_EQ(platform::headless::MessagesShown()[0].Text,
            "Check KVR820 instrument is connected via USB and COM port number is correct.");
  const std::string log = zolt::testing::ReadFile("log.txt");
  EXPECT_NE(log.find("] ERROR,USB/COM service unable to start,Check KVR820 instrument"),
            std::string::npos);
}

TEST_F(LinkIoTest, ClosingWithNoPortOpenStillClearsConnected) {
  LinkState.Connected = 1;
  CloseInstrumentComPort();
  EXPECT_EQ(LinkState.Connected.load(), 0);
}

// ---- blocks and polls on the wire ----

TEST_F(LinkIoTest, DescendingBlockIsOneWriteOf256Bytes) {
  PtyLink pty(3);
  Connect(pty);
  for (int reg = 0; reg < 32; ++reg) RegisterImage[reg] = 1000 + reg;
  WriteRegisterBlock(0, -32, 1);
  const Bytes sent = pty.Read(300, 300);
  ASSERT_EQ(sent.size(), 256u);
  for (int i = 0; i < 32; ++i) {
    const int reg = 31 - i;
    const RegisterPacket expected = BuildRegisterPacket(reg, 1000 + reg, true);
    EXPECT_EQ(Bytes(sent.begin() + 8 * i, sent.begin() + 8 * i + 8),
              Bytes(expected.begin(), expected.end()))
        << "packet " << i;
  }
  // Ascending, and a single register.
  WriteRegisterBlock(5, 3, 1);
  const Bytes ascending = pty.Read(100, 200);
  ASSERT_EQ(ascending.size(), 24u);
  EXPECT_EQ(ascending[1], 5);
  EXPECT_EQ(ascending[17], 7);
  SendSingleRegister(5);
  const Bytes single = pty.Read(100, 200);
  ASSERT_EQ(single.size(), 8u);
  EXPECT_EQ(single[1], 5);
  EXPECT_EQ(single[5], 1005 & 0xFF);
}

TEST_F(LinkIoTest, NothingIsSentWhileNotConnected) {
  PtyLink pty(3);
  Connect(pty);
  LinkState.Connected = 0;
  WriteRegisterBlock(0, -32, 1);
  SendRequestPacket(0, 1);
  LinkState.LastPollTime = 100;
  PollInstrumentIfDue(250, 1, 100000);
  EXPECT_EQ(LinkState.LastPollTime.load(), 100);
  EXPECT_TRUE(pty.Read(1, 100).empty());
}

TEST_F(LinkIoTest, PollFallsDueAfterTheInterval) {
  PtyLink pty(3);
  Connect(pty);
  LinkState.LastPollTime = 1000;
  PollInstrumentIfDue(250, 1, 1249);
  EXPECT_EQ(LinkState.LastPollTime.load(), 1000);
  EXPECT_TRUE(pty.Read(1, 50).empty());
  PollInstrumentIfDue(250, 1, 1250);
  EXPECT_EQ(LinkState.LastPollTime.load(), 1250);
  EXPECT_EQ(pty.Read(8, 200), Bytes(PollRequest.begin(), PollRequest.end()));
  PollInstrumentIfDue(250, 1, 1499);
  EXPECT_TRUE(pty.Read(1, 50).empty());
}

TEST_F(LinkIoTest, ControlBlockCarriesItsCommandOnce) {
  PtyLink pty(3);
  Connect(pty);
  tracer::RunControl.SweepCommand = "Run";
  SendControlBlock(0);
  const Bytes first = pty.Read(256, 300);
  ASSERT_EQ(first.size(), 256u);
  // Register 1 is the 31st packet (registers 31 down to 0).
  EXPECT_EQ(first[30 * 8 + 1], 1);
  EXPECT_EQ(first[30 * 8 + 5] & 0x03, 0x01);
  SendControlBlock(0);
  const Bytes second = pty.Read(256, 300);
  ASSERT_EQ(second.size(), 256u);
  EXPECT_EQ(second[30 * 8 + 5] & 0x03, 0x00);
}

// ---- frames from the port ----

TEST_F(LinkIoTest, APartFrameWaitsForItsRest) {
  PtyLink pty(3);
  Connect(pty);
  const Bytes frame = FrameBytes(Ramping);
  pty.Write(Bytes(frame.begin(), frame.begin() + 31));
  ASSERT_TRUE(WaitFor([] { return Waiting() == 31; }, 1000));
  ReadStatusFrames(5000);
  EXPECT_EQ(tracer::RunControl.NewFrame, 0);
  EXPECT_EQ(LinkState.CtHeldBytes, 31);
  pty.Write(Bytes(frame.begin() + 31, frame.end()));
  ASSERT_TRUE(WaitFor([] { return Waiting() == 1; }, 1000));
  ReadStatusFrames(5000);
  EXPECT_EQ(tracer::RunControl.NewFrame, 1);
  EXPECT_EQ(LinkState.LastGoodFrameTime.load(), 5000);
  EXPECT_EQ(LinkState.CtHeldBytes, 0);
}

// Damaged streams: after a bad frame the reader finds the next frame by its checksum, so
// only the damaged frames are lost, and it counts them (stray bytes are no frames). Each
// stream is read in two parts.
TEST_F(LinkIoTest, DamagedFramesCostOnlyThemselvesAndAreCounted) {
  auto good = [](int vc) { return FrameBytes(Ramping, 0, vc); };
  auto bad = [&](int vc) {
    Bytes b = good(vc);
    b[9] ^= 0x40;
    return b;
  };
  auto join = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  auto shortened = [&](int vc) {
    Bytes b = good(vc);
    b.erase(b.begin() + 12);
    return b;
  };
  const Bytes shortFrame = shortened(2);
  // 101 frames, every 25th followed by a stray byte or short of a byte.
  struct Series {
    Bytes Stream;
    std::vector<double> Decoded;
  };
  auto series = [&](bool stray) {
    Series out;
    for (int vc = 1; vc <= 101; ++vc) {
      const bool hit = vc % 25 == 0;
      const Bytes frame = hit && !stray ? shortened(vc) : good(vc);
      out.Stream.insert(out.Stream.end(), frame.begin(), frame.end());
      if (hit && stray) out.Stream.push_back(0x55);
      if (!hit || stray) out.Decoded.push_back(vc);
    }
    return out;
  };
  const Series strayEvery25 = series(true), shortEvery25 = series(false);
  const struct {
    const char* Name;
    Bytes Stream;
    size_t Split;  // bytes written before the first read
    std::vector<double> Decoded;
    int Lost;
  } cases[] = {
      {"bad checksum among queued frames", join({good(1), bad(2), good(3), good(4)}), 128, {1, 3, 4}, 1},
      {"a byte lost", join({good(1), shortFrame, good(3), good(4)}), 127, {1, 3, 4}, 1},
      {"a stray byte", join({good(1), {0xEE}, good(2), good(3)}), 97, {1, 2, 3}, 0},
      {"a bad frame and a stray byte", join({good(1), bad(2), {0xEE}, good(3)}), 70, {1, 3}, 1},
      {"two frames short of a byte", join({good(1), shortFrame, shortened(3), good(4)}), 80, {1, 4}, 2},
      {"stray bytes after every 25th frame", strayEvery25.Stream, 1700, strayEvery25.Decoded, 0},
      {"every 25th frame short of a byte", shortEvery25.Stream, 1700, shortEvery25.Decoded, 4},
      {"two bad frames", join({good(1), bad(2), bad(3), good(4)}), 128, {1, 4}, 2},
      {"the next frame arrives later", join({good(1), bad(2), good(3)}), 64, {1, 3}, 1},
      {"frames split mid-way", join({good(1), good(2), good(3)}), 45, {1, 2, 3}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    PtyLink pty(3);
    Connect(pty);
    tracer::RunControl.PreviousRunState = "Ramping";
    tracer::RunControl.PointIndex = -1;
    tracer::RunControl.LostFrames = 0;
    LinkState.BadFrameCount = 0;
    for (const Bytes& part : {Bytes(c.Stream.begin(), c.Stream.begin() + c.Split),
                              Bytes(c.Stream.begin() + c.Split, c.Stream.end())}) {
      pty.Write(part);
      ASSERT_TRUE(WaitFor([&] { return Waiting() == static_cast<int>(part.size()); }, 1000));
      ReadStatusFrames(1);
    }
    std::vector<double> decoded;
    for (int p = 0; p <= tracer::RunControl.PointIndex; ++p)
      decoded.push_back(tracer::AcquiredSweeps.Point[0][p].VC_V);
    EXPECT_EQ(decoded, c.Decoded);
    EXPECT_EQ(tracer::RunControl.LostFrames, c.Lost);
    EXPECT_EQ(LinkState.BadFrameCount, c.Lost);
    CloseInstrumentComPort();
  }
}

TEST_F(LinkIoTest, AHungUpPortClearsConnected) {
  PtyLink pty(3);
  Connect(pty);
  pty.HangUp();
  ReadStatusFrames(1);
  EXPECT_EQ(LinkState.Connected.load(), 0);
}

// ---- the reader thread ----

TEST_F(LinkIoTest, ReaderPollsAndDecodesFrames) {
  PtyLink pty(3);
  Connect(pty);
  ASSERT_EQ(StartSerialReaderThread(), 1);
  EXPECT_EQ(StartSerialReaderThread(), 1);  // the running reader is kept
  EXPECT_EQ(pty.Read(8, 2000), Bytes(PollRequest.begin(), PollRequest.end()));
  pty.Write(FrameBytes(Ramping, 0, 42));
  ASSERT_TRUE(WaitFor([&] { return NewFrame() == 1; }, 2000));
  std::lock_guard lock(InstrumentMutex);
  EXPECT_EQ(tracer::RunControl.RunState, "Ramping");
  EXPECT_EQ(StatusReadings.LiveVc, 42.0);
}

TEST_F(LinkIoTest, AConnectRightAfterADisconnectGetsAWorkingReader) {
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    PtyLink pty(3);
    {
      // As the run phases do it: everything under the mutex, in consecutive turns.
      std::lock_guard lock(InstrumentMutex);
      ASSERT_EQ(StartSerialReaderThread(), 1);
      ASSERT_EQ(OpenInstrumentComPort(), 1);
      tracer::RunControl.NewFrame = 0;
    }
    pty.Write(FrameBytes(0));
    ASSERT_TRUE(WaitFor([&] { return NewFrame() == 1; }, 2000));
    {
      std::lock_guard lock(InstrumentMutex);
      CloseInstrumentComPort();
      LinkState.StopThreads = 1;
    }
  }
  EXPECT_TRUE(StopLinkThread());
  EXPECT_FALSE(LinkThreadRunning());
}

TEST_F(LinkIoTest, StoppingWhileHoldingTheMutexDoesNotWaitForTheReader) {
  ASSERT_EQ(StartSerialReaderThread(), 1);
  std::lock_guard lock(InstrumentMutex);
  platform::Delay(20);  // the reader is now waiting for the mutex
  const int64_t start = platform::ElapsedMilliseconds();
  EXPECT_TRUE(StopLinkThread());
  EXPECT_LT(platform::ElapsedMilliseconds() - start, 500);
}

TEST_F(LinkIoTest, HangUpAndSilenceCloseTheLinkUnderTheReader) {
  {
    PtyLink pty(3);
    Connect(pty);
    ASSERT_EQ(StartSerialReaderThread(), 1);
    pty.HangUp();
    EXPECT_TRUE(WaitFor([] { return LinkState.Connected == 0; }, 1000));
  }
  PtyLink pty(3);
  Connect(pty);
  const int64_t opened = platform::ElapsedMilliseconds();
  ASSERT_TRUE(WaitFor([] { return LinkState.Connected == 0; }, 4000));
  EXPECT_GE(platform::ElapsedMilliseconds() - opened, 2000);
  EXPECT_TRUE(LinkThreadRunning());  // the reader idles on
}

}  // namespace
}  // namespace zolt::link
