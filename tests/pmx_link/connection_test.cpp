// The connection steps and the comms thread against the simulator: the ways back to
// "Connect" when something fails. (A whole connection through the front end is in
// tests/analyser/instrument_test.cpp.)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/pmx_ring.h"
#include "sim_fixture.h"
#include "support/wait_for.h"

namespace zolt::link {
namespace {

using zolt::testing::Exists;
using zolt::testing::ReadFile;
using zolt::testing::WaitFor;
using zolt::testing::WriteFile;

struct Turn {
  std::string caption, line;
};

Turn RunTurn() {
  StepPowerAnalyserConnection();
  return {PmxLinkState.PmxStatusText, PmxLinkState.PmxStepText};
}

// Step 5 looks on, a turn at a time, while its thread reads the EEPROM.
void ExpectTurns(const std::vector<Turn>& turns) {
  std::string last;
  for (const Turn& expected : turns) {
    Turn turn = RunTurn();
    while (turn.line == last && last == "5: Read CAL file") turn = RunTurn();
    last = turn.line;
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

TEST_F(SimDeviceTest, AReaderThatKeepsTheDeviceIsToldBusyAndABadUsbStart) {
  ASSERT_TRUE(StartLinkThread([](void*) {
    while (LinkState.StopThreads == 0) platform::Delay(1);
    return 0;
  }));
  PmxLinkState.PmxLinkStep = 1;
  ExpectTurns({{"Connecting", "1: "}, {"Connecting", "1: "}});
  PmxLinkState.PmxHeldSince -= 3001;  // the open's 3 s wait for the device
  ExpectTurns({{"Connecting", "1: "}, {"", "3: Bad USB start"}});
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  EXPECT_EQ(platform::headless::MessagesShown()[0].Title, "Error - Power analyser busy");
  ExpectTimedReturn(3, 2000);
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
  // A block finished as the link ends is not published: the thread looks at the link's end under the lock.
  std::unique_lock finishing(PmxPublishMutex);  // the thread finishes a block meanwhile
  const int32_t last = PmxSampleRing.PmxPublishedBlock;
  platform::Delay(300);
  LinkState.StopThreads = 1;
  finishing.unlock();
  EXPECT_TRUE(WaitFor([] { return !LinkThreadRunning(); }, 2000));
  EXPECT_EQ(PmxSampleRing.PmxPublishedBlock.load(), last);
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

// A device call held up for 3 s, in the EEPROM read at connection or in the stream, holds
// no turn: the link is lost within the watchdog's time (a read held up fails and keeps
// the file), and Connect at once waits for the device to be let go, then connects.
TEST_F(SimDeviceTest, AStalledCallHoldsNoTurnAndAQuickReconnectWaitsForTheDevice) {
  const struct { const char* options; int64_t lostWithinMs; size_t boxes; } cases[] = {
      {"eeprom-stall=3000", 1000, 1}, {"stall=3000", 2000, 0}};
  for (const auto& c : cases) {
    PowerUp(c.options);
    const std::string file = SimCall<const char* (*)()>("PmxSimCalibrationFile")();
    WriteFile("PMX_cal.txt", file);
    const size_t shown = platform::headless::MessagesShown().size();
    int64_t longest = 0, start = platform::ElapsedMilliseconds(), lostAt = 0;
    for (PmxLinkState.PmxLinkStep = 1; PmxLinkState.PmxLinkStep != 11 || lostAt == 0; platform::Delay(1)) {
      const int64_t before = platform::ElapsedMilliseconds();
      RunTurn();
      longest = std::max(longest, platform::ElapsedMilliseconds() - before);
      if (PmxLinkState.PmxLinkStep == 0 && lostAt == 0) PmxLinkState.PmxLinkStep = 1;  // Connect at once
      if (PmxLinkState.PmxLinkStep == 1 && lostAt == 0) lostAt = platform::ElapsedMilliseconds();
      ASSERT_LT(platform::ElapsedMilliseconds() - start, 8000) << c.options;
    }
    EXPECT_LT(longest, 500) << c.options;  // the window answers within half a second
    EXPECT_LT(lostAt - start, c.lostWithinMs) << c.options;
    EXPECT_EQ(ReadFile("PMX_cal.txt"), file);
    const auto& boxes = platform::headless::MessagesShown();
    ASSERT_EQ(boxes.size(), shown + c.boxes) << c.options;
    if (c.boxes > 0) {
      EXPECT_NE(boxes.back().Text.find("was left as it was and the USB link was closed"), std::string::npos);
    }
    PmxLinkState.PmxLinkStep = 100;
    ExpectTurns({{"Disconnecting", "100: Stop the connection"}});
  }
}

// The program's end while the stream's call is held up for 5 s does not wait for it: the
// process ends at once, before anything the thread still uses is destroyed. (The thread
// checker sleeps a second in every exit of its own.)
#if defined(__SANITIZE_THREAD__)
constexpr int64_t CheckerExitMs = 1000;
#else
constexpr int64_t CheckerExitMs = 0;
#endif
TEST_F(SimDeviceTest, TheProgramEndsAtOnceWhileACallIsHeldUp) {
  const std::string stamp = folder_.Path() + "/exit-called";
  auto clockMs = [] {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  };
  EXPECT_EXIT(
      {
        PowerUp("stall=5000");
        PmxLinkState.PmxLinkStep = 1;
        ExpectTurns(ConnectTurns);
        platform::Delay(1300);  // the call is held up from 1 s into the stream
        WriteFile(stamp, std::to_string(clockMs()));
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_LT(clockMs() - std::stoll(ReadFile(stamp)), 1000 + CheckerExitMs);
}

// The device unplugged at the 100th word of a save: the save is told as failed, and the
// next connection keeps the file being saved in use and says that the device's copy is
// mixed; saving the file again puts it in the device whole and clears that.
TEST_F(SimDeviceTest, ASaveCutShortIsToldAndTheNextConnectionKeepsTheFile) {
  PowerUp("vanish-at-eeprom-write=100 replug-after=100");
  PmxLinkState.PmxLinkStep = 1;
  ExpectTurns(ConnectTurns);
  const std::string saved(1000, 'x');
  WriteFile("PMX_cal.txt", saved);
  LoadFileToEeprom("PMX_cal.txt");
  ASSERT_TRUE(WaitFor([] { return RunTurn().line == "0: "; }, 3000));
  const auto& boxes = platform::headless::MessagesShown();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].Text.find("after 99 of 896 words. The calibration in the device may be mixed"), std::string::npos);

  ::setenv("PMX_SIM_OPTIONS", "", 1);
  platform::Delay(150);  // plugged in again
  PmxLinkState.PmxLinkStep = 1;
  ExpectTurns(ConnectTurns);
  EXPECT_EQ(ReadFile("PMX_cal.txt"), saved);
  ASSERT_EQ(boxes.size(), 3u);  // and the ranges the file leaves uncalibrated
  EXPECT_NE(boxes[1].Text.find("part older. 'PMX_cal.txt' was left as it was"), std::string::npos);
  ASSERT_TRUE(Exists(UnfinishedSaveMarker));
  LoadFileToEeprom("PMX_cal.txt");
  EXPECT_TRUE(WaitFor([] { return RunTurn(), !Exists(UnfinishedSaveMarker); }, 2000));
  EXPECT_EQ(SimEepromFile(), saved);
  EXPECT_EQ(boxes.size(), 3u);
}

// A library without FT_ReadEE and FT_WriteEE: the connection's copy fails and keeps the
// file (which calibrates nothing), a save fails without leaving one unfinished, each told once.
TEST_F(SimDeviceTest, ALibraryWithoutTheEepromCallsReadsAndSavesNothing) {
  ASSERT_TRUE(platform::OpenLibrary(UsbLibraryNumber, PMX_SIM_NO_EEPROM_LIBRARY));
  WriteFile("PMX_cal.txt", "kept");
  PmxLinkState.PmxLinkStep = 1;
  ExpectTurns(ConnectTurns);
  LoadFileToEeprom("PMX_cal.txt");
  EXPECT_TRUE(WaitFor([] { return RunTurn(), platform::headless::MessagesShown().size() == 3; }, 2000));
  const auto& boxes = platform::headless::MessagesShown();
  EXPECT_NE(boxes[0].Text.find("(the USB library 'libftd2xx.so' has no FT_ReadEE): 'PMX_cal.txt' was left"),
            std::string::npos);
  EXPECT_NE(boxes[2].Text.find("has no FT_WriteEE, after 0 of 896 words. Nothing was written to the device."),
            std::string::npos);
  EXPECT_EQ(ReadFile("PMX_cal.txt"), "kept");
  EXPECT_FALSE(Exists(UnfinishedSaveMarker));
}

}  // namespace
}  // namespace zolt::link
