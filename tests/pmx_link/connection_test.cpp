// The connection steps and the comms thread against the simulator: the ways back to
// "Connect" when something fails. (A whole connection through the front end is in
// tests/analyser/instrument_test.cpp.)
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "link/pmx_ring.h"
#include "sim_fixture.h"
#include "support/wait_for.h"

namespace zolt::link {
namespace {

using zolt::testing::ReadFile;
using zolt::testing::WaitFor;

struct Turn {
  std::string caption, line;
};

Turn RunTurn() {
  StepPowerAnalyserConnection();
  return {PmxLinkState.PmxStatusText, PmxLinkState.PmxStepText};
}

void ExpectTurns(const std::vector<Turn>& turns) {
  for (const Turn& expected : turns) {
    const Turn turn = RunTurn();
    EXPECT_EQ(turn.caption, expected.caption) << expected.line;
    EXPECT_EQ(turn.line, expected.line);
  }
}

const std::vector<Turn> ConnectTurns = {
    {"Connecting", "1: "}, {"Connecting", "2: "}, {"Connecting", "4: Good USB start"},
    {"Connecting", "5: Read CAL file"}, {"Connecting", "6: Transfer CAL file data to Constants"},
    {"Connecting", "7: Start the COMMS THREAD"}, {"Connecting", "8: Comms Thread started"},
    {"Connecting", "10: Enable COMMS"}};

// A timed step waits until more than `delay` has passed: just before, it stays; after, it
// moves on to `next` and the step after that shows "Connect".
void ExpectTimedReturn(int step, int delay) {
  PmxLinkState.PmxStepTime = platform::ElapsedMilliseconds() - (delay - 10);
  RunTurn();
  EXPECT_EQ(PmxLinkState.PmxLinkStep, step);
  PmxLinkState.PmxStepTime = platform::ElapsedMilliseconds() - (delay + 1);
  RunTurn();
  EXPECT_EQ(PmxLinkState.PmxLinkStep, 0);
  ExpectTurns({{"Connect", "0: "}});
  EXPECT_EQ(PmxLinkState.PmxRunning, 0);
}

TEST_F(SimDeviceTest, AnAbsentDeviceIsABadUsbStart) {
  PowerUp("absent");
  PmxLinkState.PmxLinkStep = 1;
  ExpectTurns({{"Connecting", "1: "}, {"Connecting", "2: "}, {"", "3: Bad USB start"}});
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_EQ(platform::headless::MessagesShown()[0].Title, "ERROR - USB/COM service unable to start");
  ExpectTimedReturn(3, 2000);
}

TEST_F(SimDeviceTest, AReaderStillRunningFailsTheThreadStepAndClosesTheDevice) {
  ASSERT_TRUE(StartLinkThread([](void*) {
    while (LinkState.StopThreads == 0) platform::Delay(1);
    return 0;
  }));
  PmxLinkState.PmxLinkStep = 1;
  ExpectTurns({ConnectTurns.begin(), ConnectTurns.begin() + 6});
  ExpectTurns({{"", "9: Comms Thread Failed!"}});
  ExpectTimedReturn(9, 1000);
  EXPECT_EQ(LinkState.Connected.load(), 0);
}

TEST_F(SimDeviceTest, ALinkLostWhileConnectedGoesBackToConnect) {
  PowerUp("silent-after=300");
  PmxLinkState.PmxLinkStep = 1;
  ExpectTurns(ConnectTurns);
  ExpectTurns({{"Connected", "11: " + std::to_string(PmxSampleRing.PmxWriteBlock.load()) + " buffer"}});
  ASSERT_TRUE(WaitFor([] { return LinkState.Connected == 0; }, 10000));
  ExpectTurns({{"Connect", "0: "}});
  // The thread, told to stop, ends by itself and is then joined.
  EXPECT_TRUE(WaitFor([] { return RunTurn().line == "0: " && !LinkState.LinkThread.joinable(); }, 2000));
  EXPECT_NE(ReadFile("log.txt").find(
                "Link,Comms stopped,No good frame from the instrument for 500 ms: the USB link was closed."),
            std::string::npos);
  EXPECT_TRUE(platform::headless::MessagesShown().empty());

  // With the link closed nothing is received. The device was released, so a new
  // connection streams again; with a bad frame in every 50 and a byte lost in frame 100,
  // its block holds only samples of this pass, all of them on the 325 V sine (frames
  // taken out of step would read anywhere in the converter's span), from the stream's
  // first frame on: the new pass starts in step, whatever the last one left.
  const int32_t published = PmxSampleRing.PmxPublishedBlock;
  ReceivePowerAnalyserFrames();
  EXPECT_EQ(PmxSampleRing.PmxPublishedBlock.load(), published);
  const int32_t next = PmxSampleRing.PmxWriteBlock;
  std::fill_n(PmxVoltageSamples + next * PmxBlockSamples, PmxBlockSamples, NAN);
  PmxSampleRing.PmxVoltageGain = PmxRangeConstants.Gain[0];  // 300 V, fitted at the connection above
  PmxSampleRing.PmxVoltageOffset = PmxRangeConstants.Offset[0];
  PmxReceiveState.Alignment = {1, 1, 0};
  PowerUp("bad-every=50 drop-byte=100");
  PmxLinkState.PmxLinkStep = 1;
  ExpectTurns(ConnectTurns);
  ASSERT_TRUE(WaitFor([next] { return PmxSampleRing.PmxPublishedBlock == next; }, 10000));
  for (int i = 0; i < PmxBlockSamples; ++i) {
    ASSERT_LT(std::fabs(PmxVoltageSamples[next * PmxBlockSamples + i]), 326.0) << i;
  }
  EXPECT_NEAR(PmxVoltageSamples[next * PmxBlockSamples], 0.0, 1.0);  // sin(0)
}

// Every lost link ends the same way, within the watchdog's 500 ms of its fault: a stream
// that never gets back in step, a device that vanishes, a device call held up for 1.5 s.
// Meanwhile the main thread's register writes never wait for the device, and once the
// thread has ended it has released the device.
TEST_F(SimDeviceTest, EveryLostLinkEndsWithinTheWatchdogAndNothingWaitsForTheDevice) {
  const struct {
    const char* options;
    int faultAtMs;
  } cases[] = {{"bad-every=1", 0}, {"vanish-after=300", 300}, {"stall=1500", 1000}};
  for (const auto& c : cases) {
    PowerUp(c.options);
    const size_t logged = ReadFile("log.txt").size();
    PmxLinkState.PmxLinkStep = 1;
    ExpectTurns(ConnectTurns);
    const int64_t start = platform::ElapsedMilliseconds();
    int64_t longestWrite = 0;
    while (PmxLinkState.PmxLinkStep == 11 && platform::ElapsedMilliseconds() - start < 4000) {
      RunTurn();
      const int64_t before = platform::ElapsedMilliseconds();
      SendPowerAnalyserControl();
      longestWrite = std::max(longestWrite, platform::ElapsedMilliseconds() - before);
      platform::Delay(1);
    }
    EXPECT_LT(platform::ElapsedMilliseconds() - start, c.faultAtMs + 500 + 400) << c.options;
    EXPECT_LT(longestWrite, 100) << c.options;
    EXPECT_EQ(PmxLinkState.PmxStatusText, "Connect");
    EXPECT_NE(ReadFile("log.txt").find("Link,Comms stopped", logged), std::string::npos) << c.options;
    EXPECT_TRUE(WaitFor([] { return RunTurn().line == "0: " && !LinkState.LinkThread.joinable(); }, 3000));
    EXPECT_EQ(LinkState.UsbHandle, nullptr) << c.options;
  }
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
}

}  // namespace
}  // namespace zolt::link
