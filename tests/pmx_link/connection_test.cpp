// The connection steps and the comms thread against the simulator: a connection from
// "Connect" to "Connected" turn by turn, the simulated sine in the ring, a range change,
// the disconnection; and the ways back to "Connect" when something fails.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "link/pmx_ring.h"
#include "link/registers.h"
#include "sim_fixture.h"
#include "support/wait_for.h"

namespace zolt::link {
namespace {

using zolt::testing::ReadFile;
using zolt::testing::WaitFor;

struct Turn {
  std::string caption, line;
};

// What the front end does each turn after the step: apply the selected ranges (the
// conversion from the fitted constants, and register 2) when they are not yet applied.
void ApplyRangesIfDue() {
  static const double volts[] = {300, 150, 80, 40, 20, 10}, amps[] = {10, 5, 2, 1, 0.5, 0.25};
  PmxRangesRecord& r = PmxRanges;
  if (r.PmxAppliedVoltageRange == r.PmxVoltageRange && r.PmxAppliedCurrentRange == r.PmxCurrentRange) return;
  int v = 0, c = 0;
  while (v < 5 && volts[v] != r.PmxVoltageRange) ++v;
  while (c < 5 && amps[c] != r.PmxCurrentRange) ++c;
  PmxSampleRing.PmxVoltageGain = PmxRangeConstants.Gain[v];
  PmxSampleRing.PmxVoltageOffset = PmxRangeConstants.Offset[v];
  PmxSampleRing.PmxCurrentGain = PmxRangeConstants.Gain[6 + c];
  PmxSampleRing.PmxCurrentOffset = PmxRangeConstants.Offset[6 + c];
  r.PmxVoltageRangeMask = 1 << v;
  r.PmxCurrentRangeMask = 1 << c;
  r.PmxAppliedVoltageRange = r.PmxVoltageRange;
  r.PmxAppliedCurrentRange = r.PmxCurrentRange;
  SendPowerAnalyserControl();
}

Turn RunTurn() {
  StepPowerAnalyserConnection();
  ApplyRangesIfDue();
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

struct Wave {
  double max = -1e300, min = 1e300, frequency = 0.0;
};

// Peaks, and the frequency from the first and last rising zero crossings.
Wave Measure(const double* samples) {
  Wave wave;
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (int i = 0; i < PmxBlockSamples; ++i) {
    wave.max = std::max(wave.max, samples[i]);
    wave.min = std::min(wave.min, samples[i]);
    if (i > 0 && samples[i - 1] < 0.0 && samples[i] >= 0.0) {
      const double at = i - 1 + samples[i - 1] / (samples[i - 1] - samples[i]);
      if (first < 0.0) first = at;
      last = at;
      ++crossings;
    }
  }
  if (crossings > 1) wave.frequency = (crossings - 1) * 16000.0 / (last - first);
  return wave;
}

TEST_F(SimDeviceTest, ConnectStreamChangeRangeAndDisconnect) {
  PmxSampleRing.PmxWriteBlock = 98;
  PmxLinkState.PmxLinkStep = 1;  // the connect click
  ExpectTurns(ConnectTurns);
  ExpectTurns({{"Connected", "11: 98 buffer"}});
  EXPECT_EQ(PmxLinkState.PmxRunning, 1);
  EXPECT_EQ(ReadFile("PMX_cal.txt"), SimCall<const char* (*)()>("PmxSimCalibrationFile")());

  // Blocks 98 and 99, then the ring starts again at 0.
  ASSERT_TRUE(WaitFor([] { return PmxSampleRing.PmxWriteBlock == 2; }, 10000));
  EXPECT_EQ(PmxSampleRing.PmxPublishedBlock.load(), 1);
  for (const int block : {99, 0, 1}) {
    const Wave voltage = Measure(PmxVoltageSamples + block * PmxBlockSamples);
    const Wave current = Measure(PmxCurrentSamples + block * PmxBlockSamples);
    EXPECT_NEAR(voltage.max, 325.0, 0.05) << block;
    EXPECT_NEAR(voltage.min, -325.0, 0.05);
    EXPECT_NEAR(current.max, 5.0, 0.002);
    EXPECT_NEAR(current.min, -5.0, 0.002);
    EXPECT_NEAR(voltage.frequency, 50.0, 0.01);
    EXPECT_NEAR(current.frequency, 50.0, 0.01);
  }
  EXPECT_EQ(RunTurn().line.rfind("11: ", 0), 0u);

  PmxRanges.PmxVoltageRangeMask = 32;  // 10 V, 0.25 A
  PmxRanges.PmxCurrentRangeMask = 32;
  SendPowerAnalyserControl();
  EXPECT_EQ(SimRegister(2), 237u);
  EXPECT_EQ(SimRegister(1), 1u << 16);
  EXPECT_TRUE(WaitFor([] { return SimCall<unsigned long (*)()>("PmxSimPolls")() > 0; }, 5000));

  PmxLinkState.PmxLinkStep = 100;  // the click while connected
  ExpectTurns({{"Disconnecting", "100: Stop the connection"}});
  EXPECT_EQ(LinkState.Connected.load(), 0);
  EXPECT_FALSE(LinkState.LinkThread.joinable());  // stopped and joined before the close
  ExpectTurns({{"Disconnecting", "101: Stopping the connection"}});
  ExpectTimedReturn(101, 2000);
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
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
  EXPECT_FALSE(LinkState.LinkThread.joinable());
  EXPECT_NE(ReadFile("log.txt").find(
                "Link,Comms stopped,No good frame from the instrument for 500 ms: the USB link was closed."),
            std::string::npos);
  EXPECT_TRUE(platform::headless::MessagesShown().empty());

  // With the link closed nothing is received. The device was released, so a new
  // connection streams again; with a bad frame in every 50 its block still holds only
  // samples of this pass.
  const int32_t published = PmxSampleRing.PmxPublishedBlock;
  ReceivePowerAnalyserFrames();
  EXPECT_EQ(PmxSampleRing.PmxPublishedBlock.load(), published);
  const int32_t next = PmxSampleRing.PmxWriteBlock;
  std::fill_n(PmxVoltageSamples + next * PmxBlockSamples, PmxBlockSamples, NAN);
  PowerUp("bad-every=50");
  PmxLinkState.PmxLinkStep = 1;
  ExpectTurns(ConnectTurns);
  ASSERT_TRUE(WaitFor([next] { return PmxSampleRing.PmxPublishedBlock == next; }, 10000));
  for (int i = 0; i < PmxBlockSamples; ++i) {
    ASSERT_TRUE(std::isfinite(PmxVoltageSamples[next * PmxBlockSamples + i])) << i;
  }
}

}  // namespace
}  // namespace zolt::link
