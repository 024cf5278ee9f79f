// The link against the curve-tracer simulator with real threads: the reader polls, frames
// become readings and points, the calibration image is received and stored, and silence
// and a hang-up close the link.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "frame/settings.h"
#include "link/calibration.h"
#include "link/calibration_stream.h"
#include "link/control_block.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "link/status_reader.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"
#include "support/wait_for.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"

namespace zolt::link {
namespace {

using zolt::testing::SimulatorProcess;
using zolt::testing::WaitFor;

// A command for the running simulator, taken from its control file.
void Command(const std::string& line) {
  zolt::testing::WriteFile("sim-control.new", line + "\n");
  ASSERT_TRUE(platform::RenameFile("sim-control.new", "sim-control.txt"));
}

// The simulator's packet log: one line per packet, "<seconds> <write|request> <address>
// <value> <good|bad> ...".
struct LoggedPacket {
  double Seconds = 0.0;
  std::string Kind;
  int Address = 0;
  std::string Verdict;
};

std::vector<LoggedPacket> PacketLog() {
  std::vector<LoggedPacket> packets;
  std::istringstream lines(zolt::testing::ReadFile("packets.txt"));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    LoggedPacket packet;
    std::string value;
    if (fields >> packet.Seconds >> packet.Kind >> packet.Address >> value >> packet.Verdict) {
      packets.push_back(packet);
    }
  }
  return packets;
}

// What the simulator's status line (asked for with "status") says it sent and damaged.
struct SimulatorCounts {
  int Unsent = 0;
  int Short = 0;
  int Stray = 0;
};

SimulatorCounts AskSimulatorCounts() {
  auto lines = [] {
    std::vector<std::string> found;
    std::istringstream text(zolt::testing::ReadFile("sim-errors.txt"));
    for (std::string line; std::getline(text, line);) {
      if (line.find(" | faults: ") != std::string::npos) found.push_back(line);
    }
    return found;
  };
  const size_t seen = lines().size();
  Command("status");
  std::vector<std::string> now;
  EXPECT_TRUE(WaitFor([&] { return (now = lines()).size() > seen; }, 3000));
  SimulatorCounts counts;
  if (now.size() <= seen) return counts;
  const std::string& line = now.back();
  int sent = 0, corrupted = 0;
  std::sscanf(line.c_str() + line.find("frames "), "frames %d sent, %d not", &sent, &counts.Unsent);
  std::sscanf(line.c_str() + line.find("faults: "), "faults: %d corrupted, %d short, %d stray",
              &corrupted, &counts.Short, &counts.Stray);
  return counts;
}

template <typename Value>
Value Locked(Value (*read)()) {
  std::lock_guard lock(InstrumentMutex);
  return read();
}

// What the run phases do at a connect and between turns, reduced to the link's needs.
void ConnectAndSendFirstBlock() {
  std::lock_guard lock(InstrumentMutex);
  ASSERT_EQ(StartSerialReaderThread(), 1);
  ASSERT_EQ(OpenInstrumentComPort(), 1);
  tracer::RunInfo.RunSampleRate = 50.0;
  tracer::StepSetup& entry = tracer::StepSetups[0];
  entry = {};
  entry.FirstDuration = 1.0;
  entry.SecondDuration = 10.0;
  entry.CollectorMaxVoltage = 30.0;
  entry.CollectorMaxCurrent = 0.01;
  entry.CollectorPulseLength = 0.0003;
  entry.BaseGateOutputMode = "I";
  entry.BaseGateClampMode = "ClampOnIdle";
  entry.BaseGatePulseLength = 0.0003;
  entry.BaseGateActiveCurrent = 10e-6;
  tracer::TestSetup.SetupCollectorCurrentRange = 1;
  tracer::TestSetup.SetupBaseGateRange = 0;
  tracer::RunControl.SweepCommand = "Stop";
  tracer::RunControl.HighVoltageCommand = "Stop";
  tracer::RunControl.CommsEnable = "On";
  tracer::RunControl.ControlFlag13 = 1;
  SendControlBlock(0);
}

void HandReadingInputsToTheReader() {
  const CalibrationCoefficientsRecord& cal = CalibrationCoefficients;
  StatusReadingsRecord& r = StatusReadings;
  r.VcSampleCount = VcWindowCount;
  r.VrSampleCount = VrWindowCount;
  r.VbSampleCount = VbWindowCount;
  r.IcSampleCount = IcWindowCount;
  r.ReadingCurrentRange = tracer::TestSetup.SetupCollectorCurrentRange;
  r.VcGain = cal.CollectorVoltageFromCode.Gain;
  r.VcOffset = cal.CollectorVoltageFromCode.Offset;
  r.VbGain = cal.BaseGateVoltageFromCode.Gain;
  r.VbOffset = cal.BaseGateVoltageFromCode.Offset;
  for (int i = 0; i < 4; ++i) {
    r.IcGain[i] = cal.CollectorCurrentFromCode[i].Gain;
    r.IcOffset[i] = cal.CollectorCurrentFromCode[i].Offset;
  }
}

TEST(LinkEndToEndTest, ReaderAgainstTheSimulator) {
  zolt::testing::TempFolder folder;
  zolt::testing::MakeFolder("settings");
  platform::headless::Reset();
  frame::AppSettings.ComPort = 1;
  SimulatorProcess expected;
  ASSERT_TRUE(expected.Start({"--write-cal", "expected_cal.bin"}));
  expected.Wait();
  SimulatorProcess sim;
  ASSERT_TRUE(sim.Start({"--link", "ports/COM1", "--frame-ms", "2", "--ramp-frames", "100",
                         "--control", "sim-control.txt", "--log-packets", "packets.txt"},
                        "sim-errors.txt"));
  ASSERT_TRUE(sim.WaitForLink("ports/COM1"));

  ConnectAndSendFirstBlock();

  // Polls go out about every 250 ms.
  std::vector<int64_t> polls = {LinkState.LastPollTime.load()};
  const int64_t watchUntil = platform::ElapsedMilliseconds() + 1100;
  while (platform::ElapsedMilliseconds() < watchUntil) {
    if (LinkState.LastPollTime != polls.back()) polls.push_back(LinkState.LastPollTime);
    platform::Delay(2);
  }
  ASSERT_GE(polls.size(), 4u);
  for (size_t i = 1; i < polls.size(); ++i) {
    EXPECT_GE(polls[i] - polls[i - 1], 250);
    EXPECT_LT(polls[i] - polls[i - 1], 500);
  }
  // What reached the instrument: the first block as registers 31 down to 0, then polls
  // about 250 ms apart, every packet with a good checksum.
  std::vector<LoggedPacket> received;
  ASSERT_TRUE(WaitFor(
      [&] {
        received = PacketLog();
        return received.size() >= 32 + 3;
      },
      2000));
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(received[i].Kind, "write");
    EXPECT_EQ(received[i].Address, 31 - i);
  }
  std::vector<double> pollTimes;
  for (const LoggedPacket& packet : received) {
    EXPECT_EQ(packet.Verdict, "good");
    if (packet.Kind == "request") {
      EXPECT_EQ(packet.Address, 0);
      pollTimes.push_back(packet.Seconds);
    }
  }
  // (The simulator stamps packets when it reads them, so a stalled simulator can bunch two
  // polls together; their mean spacing still shows the period.)
  ASSERT_GE(pollTimes.size(), 3u);
  const double meanGap = (pollTimes.back() - pollTimes.front()) / (pollTimes.size() - 1);
  EXPECT_GT(meanGap, 0.22);
  EXPECT_LT(meanGap, 0.4);

  // Frames decode; the calibration image arrives twice, agrees and is stored.
  EXPECT_EQ(Locked(+[] { return tracer::RunControl.NewFrame; }), 1);
  EXPECT_EQ(Locked(+[] { return tracer::RunControl.RunState; }), "Idling");
  ASSERT_TRUE(WaitFor([] { return CalibrationStream.CalStreamState == CalStreamStore; }, 20000));
  StoreReceivedCalibration();
  EXPECT_EQ(CalibrationStream.CalStreamState.load(), CalStreamDone);
  const std::string stored = zolt::testing::ReadFile("settings/KVR820_cal.txt");
  EXPECT_EQ(stored.size(), 1024u);
  EXPECT_EQ(stored, zolt::testing::ReadFile("expected_cal.bin"));
  EXPECT_NE(CalibrationRecord[46], 0.0);
  EXPECT_TRUE(std::isfinite(CalibrationCoefficients.CollectorCurrentToCode[1].Gain));
  HandReadingInputsToTheReader();

  // High voltage on, then one sweep: points of curve 0, rising collector voltage.
  {
    std::lock_guard lock(InstrumentMutex);
    tracer::RunControl.HighVoltageCommand = "Start";
    SendControlBlock(0);
  }
  ASSERT_TRUE(WaitFor([] { return Locked(+[] { return tracer::RunControl.HighVoltageOn; }) == 1; },
                      5000));
  {
    std::lock_guard lock(InstrumentMutex);
    tracer::RunControl.StepIndex = -1;
    tracer::RunControl.PointIndex = -1;
    for (int32_t& last : tracer::AcquiredSweeps.LastEntry) last = 0;
    tracer::RunControl.SweepCommand = "Run";
    SendControlBlock(0);
  }
  ASSERT_TRUE(WaitFor(
      [] {
        return Locked(+[] {
          return tracer::RunControl.StopCode != 0 && tracer::RunControl.RunState == "Idling";
        });
      },
      10000));
  {
    std::lock_guard lock(InstrumentMutex);
    EXPECT_EQ(tracer::RunControl.StepIndex, 0);
    const int last = tracer::AcquiredSweeps.LastEntry[0];
    EXPECT_GE(last, 20);
    const tracer::SweepPoint* points = tracer::AcquiredSweeps.Point[0];
    EXPECT_EQ(points[0].RunStatus & 3, 2);  // stored while ramping
    EXPECT_GT(points[last / 2].VC_V, points[1].VC_V);
    EXPECT_EQ(points[1].TIB_A, 10e-6);
    EXPECT_EQ(tracer::AcquiredSweeps.LastEntry[1], 0);
  }

  // Silence closes the port after more than 2000 ms without a good frame; the reader
  // idles on and serves the port again once it is reopened after the silence. (The
  // silence is long enough that frames still queued when it starts cannot carry the last
  // good frame past its end, even on a loaded machine.)
  const std::filesystem::path firstPort = std::filesystem::read_symlink("ports/COM1");
  const int64_t silenceEnds = platform::ElapsedMilliseconds() + 6000;
  Command("silence 6000");
  ASSERT_TRUE(WaitFor([] { return LinkState.Connected == 0; }, 6000));
  EXPECT_GT(platform::ElapsedMilliseconds() - LinkState.LastGoodFrameTime, 2000);
  EXPECT_TRUE(LinkThreadRunning());
  // The simulator puts a fresh port behind the link once the host has closed its own.
  ASSERT_TRUE(WaitFor(
      [&] {
        std::error_code ec;
        const auto now = std::filesystem::read_symlink("ports/COM1", ec);
        return !ec && now != firstPort;
      },
      5000));
  while (platform::ElapsedMilliseconds() < silenceEnds) platform::Delay(10);
  {
    std::lock_guard lock(InstrumentMutex);
    ASSERT_EQ(OpenInstrumentComPort(), 1);
    tracer::RunControl.NewFrame = 0;
  }
  ASSERT_TRUE(
      WaitFor([] { return Locked(+[] { return tracer::RunControl.NewFrame; }) == 1; }, 1500));

  // A byte lost from every 20th frame costs that frame alone, a stray byte after every
  // 50th costs none: the count is the simulator's.
  Locked(+[] { return tracer::RunControl.LostFrames = 0; });
  const SimulatorCounts before = AskSimulatorCounts();
  Command("junk 50\ndrop 20");
  platform::Delay(1500);
  Command("junk 0\ndrop 0");
  platform::Delay(300);
  const SimulatorCounts after = AskSimulatorCounts();
  EXPECT_EQ(after.Unsent, before.Unsent);  // every frame went out
  EXPECT_GT(after.Stray - before.Stray, 10);
  EXPECT_EQ(Locked(+[] { return tracer::RunControl.LostFrames; }),
            after.Short - before.Short);
  EXPECT_EQ(LinkState.Connected, 1);

  // A hang-up clears Connected.
  Command("hangup");
  ASSERT_TRUE(WaitFor([] { return LinkState.Connected == 0; }, 3000));
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
  EXPECT_TRUE(StopLinkThread());
  CloseInstrumentComPort();
}

}  // namespace
}  // namespace zolt::link
