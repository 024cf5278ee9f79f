// The run phases driven pass by pass against a fake instrument on a pseudo-terminal, with
// the real reader thread: connect, high voltage, a full run with its saved file, the
// stop-code acknowledge, remote and manual halts, disconnect; and the point copy and the
// live readouts on their own.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_instrument.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "link/calibration.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "link/status_reader.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "screen/hot_zones.h"
#include "support/temp_folder.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_phases.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {
namespace {

using testing::FakeHighVoltageOn;
using testing::FakeIdling;
using testing::FakePreRamp;
using testing::FakeRamping;
using testing::FakeStopCode;
using testing::FakeStopping;

constexpr int ComPort = 5;
constexpr int RunButton = 61, HaltButton = 73, ConnectButton = 265, HighVoltageButton = 637;

bool Bit(uint32_t value, int bit) { return ((value >> bit) & 1u) != 0; }

// What the instrument received since the last look: whole control blocks (registers
// 31 down to 0, stored by address) and single registers.
struct Received {
  std::vector<std::array<uint32_t, 32>> Blocks;
  std::vector<testing::ReceivedPacket> Singles;
  bool ChecksumsHold = true;
};

void ResetTracerState() {
  RunControl = {};
  TestSetup = {};
  RunInfo = {};
  for (StepSetup& entry : StepSetups) entry = {};
  for (int c = 0; c < MaxCurves; ++c) {
    AcquiredSweeps.LastEntry[c] = 0;
    DisplayedSweeps.TotalEntries[c] = 0;
  }
  LiveReadouts = {};
  std::fill(std::begin(link::RegisterImage), std::end(link::RegisterImage), 0);
  link::LinkState.Connected = 0;
  screen::ClickedZone = 0;
  platform::headless::Reset();
}

class RunPhasesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(instrument.Ready());
    ResetTracerState();
    frame::AppSettings = {};
    frame::AppSettings.ComPort = ComPort;
    frame::AppSettings.SaveCSVFileEnabled = "No";
    testing::MakeFolder(SampleRunFolder);
    SampleRunNumber = 1;
    SampleRunCount = 1;
    TestConfiguration = 100;
    AppliedTestConfiguration = 0;
    // One code per volt and ampere on the way in; the base/gate level goes out in
    // microamperes, so register 17 reads the step's level directly.
    link::CalibrationCoefficientsRecord& cal = link::CalibrationCoefficients;
    cal = {};
    cal.CollectorVoltageFromCode = cal.BaseGateVoltageFromCode = {1.0, 0.0};
    cal.CollectorVoltageToCode = {1.0, 0.0};
    for (int r = 0; r < 4; ++r) {
      cal.CollectorCurrentFromCode[r] = cal.CollectorCurrentToCode[r] = {1.0, 0.0};
      cal.BaseGateCurrentActiveDac[r] = cal.BaseGateCurrentOffsetDac[r] = {1e6, 0.0};
    }
    TestSetup.CurrentStepIndex = 10;  // 10 uA steps from 0
  }

  void TearDown() override {
    link::StopLinkThread();
    link::CloseInstrumentComPort();
  }

  void Pass() { HandleCurveTracerFrame(); }
  void Press(int id) {
    screen::ClickedZone = id;
    Pass();
  }
  int32_t Phase() const { return RunControl.RunPhase; }

  // Waits (2 s at most) until the condition holds, looked at under the InstrumentMutex.
  template <typename Condition>
  bool WaitLocked(Condition condition) {
    const int64_t deadline = platform::ElapsedMilliseconds() + 2000;
    while (platform::ElapsedMilliseconds() < deadline) {
      {
        std::lock_guard<std::mutex> lock(link::InstrumentMutex);
        if (condition()) return true;
      }
      platform::Delay(1);
    }
    return false;
  }

  // Sends one frame and waits until the reader thread has taken it.
  bool Feed(uint16_t status, int32_t vc = 0) {
    {
      std::lock_guard<std::mutex> lock(link::InstrumentMutex);
      RunControl.NewFrame = 0;
    }
    instrument.SendFrame(status, vc);
    return WaitLocked([] { return RunControl.NewFrame == 1; });
  }

  Received Take() {
    Received got;
    const std::vector<testing::ReceivedPacket> writes = instrument.TakeWrites();
    for (size_t i = 0; i < writes.size();) {
      bool block = i + 32 <= writes.size();
      for (size_t k = 0; block && k < 32; ++k) block = writes[i + k].Address == 31 - int(k);
      if (block) {
        std::array<uint32_t, 32> regs{};
        for (size_t k = 0; k < 32; ++k) regs[writes[i + k].Address] = writes[i + k].Value;
        got.Blocks.push_back(regs);
        i += 32;
      } else {
        got.Singles.push_back(writes[i]);
        ++i;
      }
    }
    for (const testing::ReceivedPacket& p : writes) got.ChecksumsHold &= p.ChecksumHolds;
    return got;
  }

  // Connect, then high voltage on as the instrument reports it: phase 2.
  void ConnectWithHighVoltageOn() {
    Press(ConnectButton);
    ASSERT_EQ(Phase(), 1);
    Press(HighVoltageButton);
    ASSERT_TRUE(Feed(FakeHighVoltageOn));
    Pass();
    ASSERT_EQ(Phase(), 2);
    Take();
  }

  // From phase 3: a frame with stop code 0 starts the sweep; returns the block sent.
  std::array<uint32_t, 32> StartSweep() {
    EXPECT_TRUE(Feed(FakeHighVoltageOn));
    Pass();
    EXPECT_EQ(Phase(), 4);
    Pass();
    EXPECT_EQ(Phase(), 5);
    EXPECT_EQ(RunControl.RunPhaseText, "Start sweep");
    const Received got = Take();
    EXPECT_EQ(got.Blocks.size(), 1u);
    return got.Blocks.empty() ? std::array<uint32_t, 32>{} : got.Blocks[0];
  }

  // In phase 5: a pre-ramp frame, then `points` ramping frames, one pass after each.
  void Sweep(int points) {
    EXPECT_TRUE(Feed(FakeHighVoltageOn | FakePreRamp));
    Pass();
    for (int p = 0; p < points; ++p) {
      EXPECT_TRUE(Feed(FakeHighVoltageOn | FakeRamping, 5 * (p + 1)));
      Pass();
    }
  }

  testing::TempFolder folder;
  testing::FakeInstrument instrument{ComPort};
};

TEST_F(RunPhasesTest, ConnectAndHighVoltageSendTheirBlocks) {
  Press(ConnectButton);
  EXPECT_EQ(Phase(), 1);
  EXPECT_EQ(RunControl.RunPhaseText, "Disconnected");
  EXPECT_EQ(link::LinkState.Connected, 1);
  Received got = Take();
  ASSERT_EQ(got.Blocks.size(), 1u);
  EXPECT_TRUE(got.ChecksumsHold);
  const std::array<uint32_t, 32>& connect = got.Blocks[0];
  EXPECT_EQ(connect[2], 469u);  // 50 Hz
  EXPECT_TRUE(Bit(connect[1], 1));   // sweep stop
  EXPECT_TRUE(Bit(connect[1], 3));   // high voltage stop
  EXPECT_TRUE(Bit(connect[1], 13));  // first block after a connect
  EXPECT_TRUE(Bit(connect[1], 16));  // link on
  EXPECT_FALSE(Bit(connect[1], 0));
  EXPECT_FALSE(Bit(connect[1], 2));

  Pass();
  EXPECT_EQ(RunControl.RunPhaseText, "Idling, HV is OFF");
  Press(HighVoltageButton);
  got = Take();
  ASSERT_EQ(got.Blocks.size(), 1u);
  EXPECT_TRUE(Bit(got.Blocks[0][1], 2));
  EXPECT_FALSE(Bit(got.Blocks[0][1], 3));
  EXPECT_FALSE(Bit(got.Blocks[0][1], 13));
  EXPECT_TRUE(Bit(got.Blocks[0][1], 16));
  EXPECT_EQ(Phase(), 1);  // on only when the instrument says so

  // 60 counts over the 5-sample read window of the 300 us pulse: 12 V.
  ASSERT_TRUE(Feed(FakeHighVoltageOn, 60));
  Pass();
  EXPECT_EQ(Phase(), 2);
  EXPECT_EQ(LiveReadouts.VcReadoutText, "12.000 V");
  Pass();
  EXPECT_EQ(RunControl.RunPhaseText, "Idling, HV is ON");

  Press(HighVoltageButton);  // off again
  got = Take();
  ASSERT_EQ(got.Blocks.size(), 1u);
  EXPECT_TRUE(Bit(got.Blocks[0][1], 3));
  ASSERT_TRUE(Feed(FakeIdling));
  Pass();
  EXPECT_EQ(Phase(), 1);
}

TEST_F(RunPhasesTest, PhaseTextFollowsTheLanguageAndItsTable) {
  frame::ClearLanguageTable();
  frame::SetLanguageCell(1, 0, "Disconnected");
  frame::SetLanguageCell(1, 1, "Getrennt");
  frame::LanguageState.LanguageColumn = 1;
  Pass();
  EXPECT_EQ(RunControl.RunPhaseText, "Getrennt");
  frame::SetLanguageCell(1, 1, "Nicht verbunden");
  Pass();
  EXPECT_EQ(RunControl.RunPhaseText, "Nicht verbunden");
  frame::LanguageState.LanguageColumn = 0;
  Pass();
  EXPECT_EQ(RunControl.RunPhaseText, "Disconnected");
  frame::ClearLanguageTable();
}

TEST_F(RunPhasesTest, RunOfSixStepsMakesSevenSweepsAndSavesTheRun) {
  ConnectWithHighVoltageOn();
  Press(RunButton);
  EXPECT_EQ(Phase(), 3);
  EXPECT_EQ(RunInfo.TotalSteps, 6);

  int sweeps = 0;
  for (int k = 0; k <= 6; ++k) {
    SCOPED_TRACE(k);
    if (k == 2) {
      // A stop code still reported: acknowledged on every new frame until it reads 0.
      for (int again = 0; again < 2; ++again) {
        ASSERT_TRUE(Feed(FakeHighVoltageOn | FakeStopCode(2)));
        Pass();
        EXPECT_EQ(Phase(), 3);
        const Received pulse = Take();
        EXPECT_TRUE(pulse.Blocks.empty());
        ASSERT_EQ(pulse.Singles.size(), 1u);
        EXPECT_EQ(pulse.Singles[0].Address, 1);
        EXPECT_TRUE(Bit(pulse.Singles[0].Value, 4));
      }
    }
    const std::array<uint32_t, 32> block = StartSweep();
    EXPECT_TRUE(Bit(block[1], 0));   // sweep run
    EXPECT_FALSE(Bit(block[1], 4));  // the acknowledge bit is never left set
    EXPECT_EQ(block[2], 469u);
    EXPECT_EQ(block[17], uint32_t(10 * k));  // this step's base current, in uA
    ++sweeps;

    Sweep(3);
    EXPECT_EQ(RunControl.RunPhaseText, "Ramping " + std::to_string(k) + "/2");
    ASSERT_TRUE(Feed(FakeHighVoltageOn | FakeStopping | FakeStopCode(2)));
    Pass();
    EXPECT_EQ(Phase(), 6);
    EXPECT_EQ(RunControl.LastStopReason, "MAX RUN LENGTH EXCEEDED");
    Pass();
    EXPECT_EQ(RunControl.RunPhaseText, "Sweep stop code found");
    EXPECT_EQ(RunControl.SweepNumber, k + 1);
    EXPECT_EQ(Phase(), k < 6 ? 3 : 7);
  }
  EXPECT_EQ(sweeps, 7);

  // The run is written with the InstrumentMutex free, so the reader reads on meanwhile.
  std::atomic<bool> passDone{false}, lockFreeAfterWriting{false};
  std::thread probe([&] {
    while (!passDone) {
      if (!link::InstrumentMutex.try_lock()) continue;
      if (testing::Exists("sampleruns_KVR/0002.csv")) lockFreeAfterWriting = true;
      link::InstrumentMutex.unlock();
    }
  });
  Pass();
  passDone = true;
  probe.join();
  EXPECT_TRUE(lockFreeAfterWriting);
  EXPECT_EQ(Phase(), 2);
  EXPECT_EQ(RunControl.RunPhaseText, "Test complete");
  EXPECT_EQ(SampleRunNumber, 2);
  const std::string saved = testing::ReadFile("sampleruns_KVR/0002.csv");
  size_t lines = 0;
  for (size_t at = 0; (at = saved.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  EXPECT_EQ(lines, 1u + 7u * 3u);
  for (int k = 0; k <= 6; ++k) {
    EXPECT_EQ(DisplayedSweeps.TotalEntries[k], 2);
    EXPECT_DOUBLE_EQ(DisplayedSweeps.Point[k][2].VC_V, 3.0);  // 15 counts / 5 samples
    EXPECT_DOUBLE_EQ(DisplayedSweeps.Point[k][0].TIB_A, 10e-6 * k);
  }
  EXPECT_EQ(DisplayedSweeps.TotalEntries[7], 0);
  EXPECT_TRUE(std::isnan(DisplayedSweeps.Point[7][0].VC_V));  // no point of an earlier run
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
}

TEST_F(RunPhasesTest, RemoteHaltEndsTheRunWithoutSaving) {
  ConnectWithHighVoltageOn();
  Press(RunButton);
  StartSweep();
  Sweep(2);
  {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    RunControl.LostFrames = 3;  // as the reader counts damaged frames
  }
  ASSERT_TRUE(Feed(FakeHighVoltageOn | FakeStopping | FakeStopCode(1)));
  Pass();
  EXPECT_EQ(Phase(), 8);
  EXPECT_EQ(RunControl.LastStopReason, "REMOTE/MANUAL REQUEST");
  Pass();
  EXPECT_EQ(Phase(), 2);  // high voltage still on
  EXPECT_EQ(RunControl.RunPhaseText, "REMOTE HALT");
  EXPECT_EQ(DisplayedSweeps.TotalEntries[0], 1);
  EXPECT_FALSE(testing::Exists("sampleruns_KVR/0002.csv"));
  EXPECT_EQ(SampleRunNumber, 1);
  EXPECT_TRUE(Take().Blocks.empty());
  EXPECT_NE(testing::ReadFile("log.txt").find("] Link,COM5,The run lost 3 status frames to damage on the link.\r\n"),
            std::string::npos);
}

TEST_F(RunPhasesTest, HaltStopsSweepAndHighVoltage) {
  ConnectWithHighVoltageOn();
  Press(RunButton);
  StartSweep();
  Sweep(1);
  EXPECT_EQ(RunControl.RunPhaseText, "Ramping 0/0");

  Press(HaltButton);
  EXPECT_EQ(Phase(), 9);
  Pass();
  EXPECT_EQ(Phase(), 1);
  EXPECT_EQ(RunControl.LastStopReason, "MANUAL HALT REQUEST");
  EXPECT_EQ(RunControl.RunPhaseText, "Ramping 0/0");  // phase 9 keeps the text
  const Received got = Take();
  ASSERT_EQ(got.Blocks.size(), 1u);
  EXPECT_TRUE(Bit(got.Blocks[0][1], 1));  // sweep stop
  EXPECT_TRUE(Bit(got.Blocks[0][1], 3));  // high voltage stop
  EXPECT_FALSE(Bit(got.Blocks[0][1], 0));
  EXPECT_FALSE(Bit(got.Blocks[0][1], 2));
  EXPECT_FALSE(testing::Exists("sampleruns_KVR/0002.csv"));

  ASSERT_TRUE(Feed(FakeIdling));
  Pass();
  EXPECT_EQ(RunControl.RunPhaseText, "Idling, HV is OFF");
  Press(RunButton);  // no run with the high voltage off: the press is dropped
  EXPECT_EQ(Phase(), 1);
  EXPECT_EQ(RunControl.RunRequest, 0);
  Pass();
  EXPECT_EQ(Phase(), 1);
}

TEST_F(RunPhasesTest, HaltWhileWaitingForTheFirstFrame) {
  ConnectWithHighVoltageOn();
  Press(RunButton);
  Press(HaltButton);
  EXPECT_EQ(Phase(), 9);
  Pass();
  EXPECT_EQ(Phase(), 1);
  EXPECT_EQ(RunControl.RunPhaseText, "Run requested");
}

TEST_F(RunPhasesTest, DisconnectSendsLinkOffThenClosesAndStopsTheReader) {
  ConnectWithHighVoltageOn();
  ASSERT_TRUE(link::LinkThreadRunning());
  const int64_t start = platform::ElapsedMilliseconds();
  Press(ConnectButton);
  EXPECT_GE(platform::ElapsedMilliseconds() - start, 100);
  EXPECT_EQ(Phase(), 0);
  EXPECT_EQ(RunControl.HighVoltageOn, 0);
  EXPECT_EQ(link::LinkState.Connected, 0);
  EXPECT_FALSE(link::LinkThreadRunning());
  // The instrument reports nothing: the log says so, and the reader's block for a lost
  // link may follow.
  EXPECT_NE(testing::ReadFile("log.txt").find("The high voltage could not be confirmed off"), std::string::npos);
  const Received got = Take();
  ASSERT_GE(got.Blocks.size(), 1u);
  EXPECT_FALSE(Bit(got.Blocks[0][1], 16));  // link off
  EXPECT_TRUE(Bit(got.Blocks[0][1], 3));    // high voltage stop
  Pass();
  EXPECT_EQ(RunControl.RunPhaseText, "Disconnected");
  EXPECT_EQ(LiveReadouts.VcReadoutText, "-");
  EXPECT_EQ(LiveReadouts.VbReadoutText, "-");

  // Connecting again gets a working reader.
  Press(ConnectButton);
  EXPECT_EQ(Phase(), 1);
  EXPECT_TRUE(link::LinkThreadRunning());
  ASSERT_TRUE(Feed(FakeHighVoltageOn));
  Pass();
  EXPECT_EQ(Phase(), 2);
}

TEST_F(RunPhasesTest, ExitStopsTheSweepAndSwitchesTheHighVoltageOff) {
  ConnectWithHighVoltageOn();
  Press(RunButton);
  StartSweep();
  {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    RunControl.LostFrames = 1;
  }
  StopCurveTracer();
  const Received got = Take();
  // The instrument reports nothing more: the reader's block for a lost link may follow.
  ASSERT_GE(got.Blocks.size(), 1u);
  EXPECT_TRUE(Bit(got.Blocks[0][1], 1));   // sweep stop
  EXPECT_TRUE(Bit(got.Blocks[0][1], 3));   // high voltage stop
  EXPECT_TRUE(Bit(got.Blocks[0][1], 16));  // link on, as the high-voltage button sends it
  EXPECT_FALSE(Bit(got.Blocks[0][1], 0));
  EXPECT_FALSE(Bit(got.Blocks[0][1], 2));
  EXPECT_EQ(link::LinkState.Connected, 0);
  EXPECT_FALSE(link::LinkThreadRunning());
  EXPECT_NE(testing::ReadFile("log.txt").find("] Link,COM5,The run lost 1 status frame to damage on the link.\r\n"),
            std::string::npos);
  EXPECT_NE(testing::ReadFile("log.txt").find("The high voltage could not be confirmed off"), std::string::npos);
}

TEST_F(RunPhasesTest, ALostLinkEndsTheRunIsShownAndLoggedAndOneClickConnectsAgain) {
  ConnectWithHighVoltageOn();
  Press(RunButton);
  StartSweep();
  Sweep(2);
  instrument.HangUp();
  ASSERT_TRUE(WaitLocked([] { return link::LinkState.Connected == 0; }));
  Pass();
  EXPECT_EQ(Phase(), 0);
  EXPECT_EQ(RunControl.RunPhaseText, "Disconnected");
  EXPECT_EQ(RunControl.LastStopReason, "LINK LOST");
  EXPECT_EQ(RunControl.ComStatusText, "LINK LOST");
  EXPECT_EQ(RunControl.LinkLost, 1);
  EXPECT_EQ(RunControl.HighVoltageOn, 0);
  EXPECT_EQ(DisplayedSweeps.TotalEntries[0], 1);  // the points stay on display, and are saved
  EXPECT_TRUE(testing::Exists("sampleruns_KVR/0002.csv"));
  EXPECT_TRUE(platform::headless::MessagesShown().empty());

  // The instrument is back: one click connects again, and the lost link is forgotten.
  testing::FakeInstrument back(ComPort);
  ASSERT_TRUE(back.Ready());
  Press(ConnectButton);
  EXPECT_EQ(Phase(), 1);
  EXPECT_EQ(RunControl.LinkLost, 0);
  EXPECT_EQ(RunControl.ComStatusText, "");
  EXPECT_NE(testing::ReadFile("log.txt").find(
                "] Link,COM5,The link to the instrument was lost during a run; the run was ended.\r\n"),
            std::string::npos);
}

// A link lost after the last sweep's stop code, before the save, still saves the run.
TEST_F(RunPhasesTest, ALinkLostAfterTheLastSweepStillSavesTheRun) {
  ConnectWithHighVoltageOn();
  Press(RunButton);
  StartSweep();
  Sweep(2);
  {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    RunControl.SweepNumber = RunInfo.TotalSteps;  // the last sweep
  }
  ASSERT_TRUE(Feed(FakeHighVoltageOn | FakeStopping | FakeStopCode(2)));
  Pass();
  ASSERT_EQ(Phase(), 6);
  instrument.HangUp();
  ASSERT_TRUE(WaitLocked([] { return link::LinkState.Connected == 0; }));
  Pass();
  EXPECT_EQ(Phase(), 0);
  EXPECT_EQ(RunControl.LastStopReason, "MAX RUN LENGTH EXCEEDED");
  EXPECT_TRUE(testing::Exists("sampleruns_KVR/0002.csv"));
}

TEST_F(RunPhasesTest, ConnectWithoutAnInstrumentStaysDisconnected) {
  frame::AppSettings.ComPort = ComPort + 1;  // nothing there
  Press(ConnectButton);
  EXPECT_EQ(Phase(), 0);
  EXPECT_EQ(link::LinkState.Connected, 0);
  const auto& shown = platform::headless::MessagesShown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].Title.find("USB/COM service unable to start"), std::string::npos);
  EXPECT_EQ(RunControl.ConnectRequest, 0);
}

// ---- without an instrument ----

class RunPhasesLocalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTracerState();
    frame::AppSettings = {};
    link::LinkState.Connected = 1;  // as connected, though no port is open
  }
  void TearDown() override { link::LinkState.Connected = 0; }
};

TEST_F(RunPhasesLocalTest, RunPressStartsTheRunEvenAsHighVoltageFalls) {
  TestConfiguration = AppliedTestConfiguration = 100;
  RunControl.RunPhase = 2;
  RunControl.HighVoltageOn = 0;  // reported off in the same pass as the press
  RunControl.StepIndex = 4;
  AcquiredSweeps.LastEntry[3] = 9;
  DisplayedSweeps.TotalEntries[3] = 9;
  screen::ClickedZone = RunButton;
  HandleCurveTracerFrame();
  EXPECT_EQ(RunControl.RunPhase, 3);
  EXPECT_EQ(RunControl.StepIndex, -1);
  EXPECT_EQ(RunControl.PointIndex, -1);
  EXPECT_EQ(AcquiredSweeps.LastEntry[3], 0);
  EXPECT_EQ(DisplayedSweeps.TotalEntries[3], 0);
  EXPECT_EQ(RunInfo.TotalSteps, 6);
}

TEST_F(RunPhasesLocalTest, StopCodesEndTheSweepWithTheirReasons) {
  const char* reasons[16] = {"",
                             "REMOTE/MANUAL REQUEST",
                             "MAX RUN LENGTH EXCEEDED",
                             "RAMP -V EXCEEDED",
                             "RAMP +V EXCEEDED",
                             "RAMP -I EXCEEDED",
                             "RAMP +I EXCEEDED",
                             "NON-PULSE COLLECTOR -I EXCEEDED",
                             "NON-PULSE COLLECTOR +I EXCEEDED",
                             "CODE#09",
                             "CODE#10",
                             "CODE#11",
                             "CODE#12",
                             "CODE#13",
                             "USB VOLTAGE (min) EXCEEDED",
                             "USB VOLTAGE (min) EXCEEDED"};
  TestConfiguration = AppliedTestConfiguration = 100;
  for (int code = 0; code <= 15; ++code) {
    SCOPED_TRACE(code);
    RunControl.RunPhase = 5;
    RunControl.LastStopReason = "before";
    RunControl.StopCode = code;
    RunControl.NewFrame = 1;
    HandleCurveTracerFrame();
    EXPECT_EQ(RunControl.NewFrame, 0);
    EXPECT_EQ(RunControl.RunPhase, code == 0 ? 5 : code == 1 ? 8 : 6);
    EXPECT_EQ(RunControl.LastStopReason, code == 0 ? "before" : reasons[code]);
  }
  // Without a new frame the stop code is not looked at.
  RunControl.RunPhase = 5;
  RunControl.NewFrame = 0;
  RunControl.StopCode = 2;
  HandleCurveTracerFrame();
  EXPECT_EQ(RunControl.RunPhase, 5);
}

TEST_F(RunPhasesLocalTest, CopyTakesOnlyNewPointsAndRecopiesTheLast) {
  for (int p = 0; p <= 3; ++p) AcquiredSweeps.Point[0][p].VC_V = p + 1.0;
  AcquiredSweeps.Point[0][1].RunStatus = 0x42;
  AcquiredSweeps.LastEntry[0] = 3;
  DisplayedSweeps.TotalEntries[0] = 1;
  DisplayedSweeps.Point[0][0].VC_V = -1.0;
  DisplayedSweeps.Point[0][1].VC_V = -1.0;
  // A curve's only point is copied too (a run starts with point 0 holding no point).
  AcquiredSweeps.LastEntry[1] = 0;
  AcquiredSweeps.Point[1][0].VC_V = 9.0;
  DisplayedSweeps.Point[1][0].VC_V = -2.0;
  // A curve already further on the display is left alone.
  AcquiredSweeps.LastEntry[2] = 2;
  DisplayedSweeps.TotalEntries[2] = 5;
  DisplayedSweeps.Point[2][2].VC_V = -3.0;
  DisplayedSweeps.Point[0][2].HFE = 7.0;

  CopyNewSweepPoints();
  EXPECT_EQ(DisplayedSweeps.TotalEntries[0], 3);
  EXPECT_EQ(DisplayedSweeps.Point[0][0].VC_V, -1.0);
  EXPECT_EQ(DisplayedSweeps.Point[0][1].VC_V, 2.0);
  EXPECT_EQ(DisplayedSweeps.Point[0][1].RunStatus, 0x42);
  EXPECT_EQ(DisplayedSweeps.Point[0][3].VC_V, 4.0);
  EXPECT_EQ(DisplayedSweeps.Point[0][2].HFE, 7.0);  // never copied
  EXPECT_EQ(DisplayedSweeps.Point[1][0].VC_V, 9.0);
  EXPECT_EQ(DisplayedSweeps.TotalEntries[2], 5);
  EXPECT_EQ(DisplayedSweeps.Point[2][2].VC_V, -3.0);
}

TEST_F(RunPhasesLocalTest, LiveReadoutsInTheirThreeModes) {
  link::LinkState.Connected = 1;
  link::StatusReadings.LiveVc = 12.3456;
  link::StatusReadings.LiveVr = -0.5;
  link::StatusReadings.LiveIc = 0.0123456;
  link::StatusReadings.LiveVb = 1.5;
  FormatLiveReadouts();
  EXPECT_EQ(LiveReadouts.VcReadoutText, "12.346 V");
  EXPECT_EQ(LiveReadouts.VrReadoutText, "-0.500 V");
  EXPECT_EQ(LiveReadouts.IcReadoutText, "12.346 mA");
  EXPECT_EQ(LiveReadouts.VbReadoutText, "1.500 V");  // the limit itself is a number
  link::StatusReadings.LiveVb = 1.51;
  FormatLiveReadouts();
  EXPECT_EQ(LiveReadouts.VbReadoutText, ">+1.50 V");
  link::StatusReadings.LiveVb = -1.51;
  FormatLiveReadouts();
  EXPECT_EQ(LiveReadouts.VbReadoutText, "<-1.50 V");

  frame::AppSettings.LiveReadings = "SMOOTHED";
  FormatLiveReadouts();
  EXPECT_EQ(LiveReadouts.VcReadoutText, "0.000 V");
  EXPECT_EQ(LiveReadouts.IcReadoutText, "0.000 mA");

  frame::AppSettings.LiveReadings = "raw";
  LiveReadouts.RawReadingSums[0] = 25.0;
  link::StatusReadings.VcSampleCount = 10;  // 2.5 rounds to even
  FormatLiveReadouts();
  EXPECT_EQ(LiveReadouts.VcReadoutText, "2");
  EXPECT_EQ(LiveReadouts.VbReadoutText, "0");

  frame::AppSettings.LiveReadings = "other";
  FormatLiveReadouts();
  EXPECT_EQ(LiveReadouts.VcReadoutText, "2");  // left as they were

  link::LinkState.Connected = 0;
  FormatLiveReadouts();
  EXPECT_EQ(LiveReadouts.VcReadoutText, "-");
  EXPECT_EQ(LiveReadouts.VrReadoutText, "-");
  EXPECT_EQ(LiveReadouts.IcReadoutText, "-");
  EXPECT_EQ(LiveReadouts.VbReadoutText, "-");
  link::StatusReadings.VcSampleCount = 1;
}

}  // namespace
}  // namespace zolt::tracer
