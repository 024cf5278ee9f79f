// A whole session against the curve-tracer simulator, with the program's real reader
// thread and the per-frame handler turning as the main loop turns it: connect, high
// voltage on, a run of six steps saved as the next run file, a remote halt, a manual
// halt during a sweep, and disconnect; then the simulator's own account of what it was
// sent, and the control blocks it received, read from its packet log. And the instrument's
// high voltage after stalls, letting go, and instruments that stop answering or reading.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "calibration.h"  // the simulator's own calibration fits

#include "frame/numbers.h"
#include "frame/settings.h"
#include "link/calibration.h"
#include "link/calibration_stream.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "link/wire.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "screen/format.h"
#include "screen/hot_zones.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"
#include "support/wait_for.h"
#include "support/window_script.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_phases.h"
#include "tracer/run_state.h"
#include "tracer/direct_entry.h"
#include "tracer/graph_title.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {
namespace {

constexpr int RunButton = 61, HaltButton = 73, ConnectButton = 265, HighVoltageButton = 637;
constexpr int MaxVoltageValue = 424;

// A command for the simulator's control file, put in place in one step; returns once the
// simulator has taken it (it looks every 100 ms), so that the next one replaces nothing.
void Control(const std::string& command) {
  testing::WriteFile("sim.ctl.new", command + "\n");
  std::rename("sim.ctl.new", "sim.ctl");
  testing::WaitFor([] { return !testing::Exists("sim.ctl"); }, 3000);
}

// The simulator's status line asked for now, from its high voltage on:
// " | HV on | Idling sweep 9 | stop 1 | ... | packets 464 good, 0 bad, 20 polls | ...".
std::string SimStatus() {
  const size_t asked = testing::ReadFile("sim.log").size();
  Control("status");
  std::string log;
  size_t line = std::string::npos;
  testing::WaitFor([&] {
    log = testing::ReadFile("sim.log");
    line = log.find(" | HV ", std::min(log.find("control: status", asked), log.size()));
    return line != std::string::npos && log.find('\n', line) != std::string::npos;
  }, 3000);
  return line == std::string::npos ? "" : log.substr(line, log.find('\n', line) - line);
}

// The instrument stops reading until its input is full of polls, and reads again `ms` later.
void StopReading(int ms) {
  Control("deaf 60000");
  for (int k = 0; k < 100000 && platform::SendKeptSerialBytes(link::InstrumentSerialPort) == 0; ++k)
    platform::WriteSerialPort(link::InstrumentSerialPort, link::PollRequest.data(), link::RegisterPacketBytes);
  Control("deaf " + std::to_string(ms));
}

// What the simulator received, from its packet log: control blocks (32 writes, registers
// 31 down to 0, nothing in between, not even a poll) and single register writes, in
// order; polls and anything else counted apart.
struct Transfer {
  bool block = false;
  std::array<uint32_t, 32> reg{};  // a block's registers by address
  int address = 0;                 // a single write
  uint32_t value = 0;
};

struct PacketLog {
  std::vector<Transfer> transfers;
  int polls = 0;
  int bad = 0;
  int other = 0;  // requests for other registers, writes outside 0..31
};

PacketLog ReadPacketLog(const std::string& text) {
  struct Line {
    bool write;
    int address;
    uint32_t value;
  };
  std::vector<Line> lines;  // the good packets
  PacketLog log;
  std::istringstream in(text);
  std::string row;
  while (std::getline(in, row)) {
    std::istringstream fields(row);
    std::string seconds, kind, good;
    Line line{};
    fields >> seconds >> kind >> line.address >> line.value >> good;
    line.write = kind == "write";
    if (good == "good") {
      lines.push_back(line);
    } else {
      ++log.bad;
    }
  }
  auto isBlockAt = [&lines](size_t i) {
    if (i + 32 > lines.size()) return false;
    for (size_t k = 0; k < 32; ++k) {
      if (!lines[i + k].write || lines[i + k].address != 31 - static_cast<int>(k)) return false;
    }
    return true;
  };
  for (size_t i = 0; i < lines.size();) {
    Transfer t;
    if (isBlockAt(i)) {
      t.block = true;
      for (size_t k = 0; k < 32; ++k) t.reg[31 - k] = lines[i + k].value;
      i += 32;
    } else if (!lines[i].write) {
      ++(lines[i].address == 0 ? log.polls : log.other);
      ++i;
      continue;
    } else if (lines[i].address > 31) {
      ++log.other;
      ++i;
      continue;
    } else {
      t.address = lines[i].address;
      t.value = lines[i].value;
      ++i;
    }
    log.transfers.push_back(t);
  }
  return log;
}

// The cells of one run-file line (no cell of the session's run holds a comma).
std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
    cells.push_back(line.substr(start, comma - start));
  cells.push_back(line.substr(start));
  return cells;
}

// A real as the run file writes it: at most ten decimals, no trailing zeros, no bare point.
bool PlainReal(const std::string& cell) {
  const std::string body = !cell.empty() && cell[0] == '-' ? cell.substr(1) : cell;
  const size_t dot = body.find('.');
  const std::string integer = body.substr(0, dot);
  if (integer.empty() || integer.find_first_not_of("0123456789") != std::string::npos) return false;
  if (dot == std::string::npos) return true;
  const std::string fraction = body.substr(dot + 1);
  return !fraction.empty() && fraction.size() <= 10 && fraction.back() != '0' &&
         fraction.find_first_not_of("0123456789") == std::string::npos;
}

// Checks the saved run against the run on display: the header, then one line per
// displayed point in step and entry order, each of 40 cells; the set-up columns on each
// step's first line, the run-wide columns on the first point line only.
void CheckRunFile(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text after the last line end";
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0],
            "Step,TotalSteps,Entry,TotalEntries,RunStatus,VR_V,VB_V,VC_V,IR_A,IB_A,IC_A,TIB_A,"
            "TVB_V,CollectorMaxVoltage,CollectorResistorOhms,CollectorMaxCurrent,"
            "BaseGateOutputMode,BaseGateResistorOhms,BaseGateOffsetCurrent,"
            "BaseGateActiveCurrent,BaseGateOffsetVoltage,BaseGateActiveVoltage,"
            "CollectorPulseLength,BaseGatePulseLength,SampleRate,BaseGateClampMode,GraphType,"
            "GraphTitle,Notes,Date,Time,ModelID,FirmwareID,SerialID,CalibrationDate,,,,,");

  size_t at = 1;
  int fractions = 0;
  for (int s = 0; s <= 6; ++s) {
    for (int e = 0; e <= DisplayedSweeps.TotalEntries[s]; ++e, ++at) {
      SCOPED_TRACE("step " + std::to_string(s) + " entry " + std::to_string(e));
      ASSERT_LT(at, lines.size());
      const std::vector<std::string> c = Cells(lines[at]);
      ASSERT_EQ(c.size(), 40u) << lines[at];
      EXPECT_EQ(c[0], std::to_string(s));
      EXPECT_EQ(c[1], "6");
      EXPECT_EQ(c[2], std::to_string(e));
      EXPECT_EQ(c[3], std::to_string(DisplayedSweeps.TotalEntries[s]));
      const SweepPoint& p = DisplayedSweeps.Point[s][e];
      EXPECT_EQ(c[4], std::to_string(p.RunStatus));
      const double values[] = {p.VR_V, p.VB_V, p.VC_V, p.IR_A, p.IB_A, p.IC_A, p.TIB_A, p.TVB_V};
      for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(c[5 + k], frame::RealToText(values[k])) << k;
        EXPECT_TRUE(PlainReal(c[5 + k])) << c[5 + k];
        if (c[5 + k].find('.') != std::string::npos) ++fractions;
      }
      for (int k = 13; k <= 25; ++k) EXPECT_EQ(c[k].empty(), e != 0) << k;
      for (int k = 26; k <= 34; ++k) EXPECT_EQ(c[k].empty(), at != 1) << k;
      for (int k = 35; k < 40; ++k) EXPECT_EQ(c[k], "") << k;
      if (e == 0) {
        const StepSetup& setup = StepSetups[s];
        EXPECT_EQ(c[13], frame::RealToText(setup.CollectorMaxVoltage));
        EXPECT_EQ(c[14], frame::RealToText(setup.CollectorResistorOhms));
        EXPECT_EQ(c[15], frame::RealToText(setup.CollectorMaxCurrent));
        EXPECT_EQ(c[16], "I");
        EXPECT_EQ(c[19], frame::RealToText(setup.BaseGateActiveCurrent));
        EXPECT_EQ(c[22], "0.0003");
        EXPECT_EQ(c[24], "50");
        EXPECT_EQ(c[25], "ClampOnIdle");
        for (int k : {13, 14, 15, 17, 18, 19, 20, 21, 22, 23, 24})
          EXPECT_TRUE(PlainReal(c[k])) << c[k];
      }
      if (at == 1) {
        EXPECT_EQ(c[26], "100");
        EXPECT_EQ(c[27], "Session run");
        EXPECT_EQ(c[28], "Notes here");
        EXPECT_EQ(c[31], "KVR820");
        EXPECT_EQ(c[34], "unknown");
      }
    }
  }
  EXPECT_EQ(at, lines.size());
  EXPECT_GT(fractions, 0);  // measured values with decimals were among them
}

constexpr uint32_t Bit(int n) { return uint32_t{1} << n; }
constexpr uint32_t RunBit = Bit(0), StopBit = Bit(1), HighVoltageStartBit = Bit(2),
                   HighVoltageStopBit = Bit(3), ClearStopCodeBit = Bit(4), ConnectStartBit = Bit(13),
                   CommsEnableBit = Bit(16);
constexpr uint32_t CommandBits = RunBit | StopBit | HighVoltageStartBit | HighVoltageStopBit;

class SimScenarioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    RunControl = {};
    TestSetup = {};
    RunInfo = {};
    for (int c = 0; c < MaxCurves; ++c) {
      AcquiredSweeps.LastEntry[c] = 0;
      DisplayedSweeps.TotalEntries[c] = 0;
    }
    std::fill(std::begin(link::RegisterImage), std::end(link::RegisterImage), 0);
    link::LinkState.Connected = 0;
    screen::ClickedZone = 0;
    frame::AppSettings = {};
    frame::AppSettings.ComPort = 1;
    frame::AppSettings.SaveCSVFileEnabled = "No";
    SampleRunNumber = 1;
    SampleRunCount = 1;
    TestConfiguration = AppliedTestConfiguration = 100;
    GraphTitleText = "Session run";
    RecalculateTestSetup();  // as the start-up does
    testing::MakeFolder(SampleRunFolder);
    testing::MakeFolder("settings");

    // The calibration file that matches the simulated unit, read as the start-up does.
    testing::SimulatorProcess writer;
    ASSERT_TRUE(writer.Start({"--write-cal", "settings/KVR820_cal.txt"}));
    ASSERT_EQ(writer.Wait(), 0);
    link::ReadCalibrationFile("settings/KVR820_cal.txt");
    link::ComputeCalibrationCoefficients();
    link::CalibrationStream.CalStreamState = link::CalStreamAwaitMarker;

    ASSERT_TRUE(simulator.Start({"--link", "ports/COM1", "--control", "sim.ctl", "-v",
                                 "--ramp-frames", "60", "--log-packets", "packets.txt"},
                                "sim.log"));
    ASSERT_TRUE(simulator.WaitForLink("ports/COM1"));
  }

  void TearDown() override {
    link::StopLinkThread();
    link::CloseInstrumentComPort();
  }

  // Turns the handler as the main loop does (1 ms a turn) until the condition holds.
  bool RunUntil(const std::function<bool()>& condition, int ms) {
    const int64_t deadline = platform::ElapsedMilliseconds() + ms;
    while (platform::ElapsedMilliseconds() < deadline) {
      HandleCurveTracerFrame();
      if (RunControl.RunPhase == 4) ++sweepsStarted;
      if (condition()) return true;
      platform::Delay(1);
    }
    return false;
  }
  bool Press(int id, const std::function<bool()>& condition, int ms = 5000) {
    screen::ClickedZone = id;
    return RunUntil(condition, ms);
  }
  static int32_t Phase() { return RunControl.RunPhase; }
  static bool Ramping() {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    return RunControl.RunState == "Ramping";
  }
  static bool HighVoltageReportedOff() {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    return RunControl.HighVoltageOn == 0;
  }

  testing::TempFolder folder;
  testing::SimulatorProcess simulator;
  int sweepsStarted = 0;
};

TEST_F(SimScenarioTest, SessionFromConnectToDisconnect) {
  ASSERT_TRUE(Press(ConnectButton, [] { return Phase() == 1; }));
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 2; }));

  // A run of six steps: seven sweeps, saved as the run after the highest known.
  ASSERT_TRUE(Press(RunButton, [] { return RunControl.RunPhaseText == "Test complete"; }, 60000));
  EXPECT_EQ(Phase(), 2);
  EXPECT_EQ(sweepsStarted, 7);
  EXPECT_EQ(RunControl.SweepNumber, 7);
  EXPECT_TRUE(testing::Exists("sampleruns_KVR/0002.csv"));
  EXPECT_EQ(SampleRunNumber, 2);
  for (int k = 0; k <= 6; ++k) EXPECT_GT(DisplayedSweeps.TotalEntries[k], 5) << k;
  EXPECT_EQ(DisplayedSweeps.TotalEntries[7], 0);
  CheckRunFile(testing::ReadFile("sampleruns_KVR/0002.csv"));

  // The instrument halts a sweep itself: stop code 1, nothing saved.
  sweepsStarted = 0;
  ASSERT_TRUE(Press(RunButton, [] { return Phase() == 5 && Ramping(); }));
  Control("stop 1");
  ASSERT_TRUE(RunUntil([] { return RunControl.RunPhaseText == "REMOTE HALT"; }, 5000));
  EXPECT_EQ(Phase(), 2);
  EXPECT_EQ(RunControl.LastStopReason, "REMOTE/MANUAL REQUEST");
  EXPECT_FALSE(testing::Exists("sampleruns_KVR/0003.csv"));

  // A halt during a sweep: both commands stop, high voltage goes off.
  ASSERT_TRUE(Press(RunButton, [] { return Phase() == 5 && Ramping(); }));
  ASSERT_TRUE(Press(HaltButton, [] { return Phase() == 9; }, 100));
  ASSERT_TRUE(RunUntil([] { return Phase() == 1 && HighVoltageReportedOff(); }, 5000));
  EXPECT_EQ(RunControl.LastStopReason, "MANUAL HALT REQUEST");
  EXPECT_FALSE(testing::Exists("sampleruns_KVR/0003.csv"));

  const int64_t disconnectStart = platform::ElapsedMilliseconds();
  ASSERT_TRUE(Press(ConnectButton, [] { return Phase() == 0; }, 1000));
  EXPECT_GE(platform::ElapsedMilliseconds() - disconnectStart, 100);  // the pause before closing
  EXPECT_EQ(link::LinkState.Connected, 0);
  EXPECT_FALSE(link::LinkThreadRunning());
  EXPECT_EQ(sweepsStarted, 2);
  EXPECT_TRUE(platform::headless::MessagesShown().empty());

  // The simulator's account: every packet checked good, nine sweeps started, none refused.
  const std::string status = SimStatus();
  const std::string log = testing::ReadFile("sim.log");
  ASSERT_FALSE(status.empty()) << log;
  auto numberBefore = [&status](const std::string& tail) {
    const size_t end = status.find(tail);
    if (end == std::string::npos) return -1;
    const size_t start = status.find_last_of(' ', end - 1) + 1;
    return std::stoi(status.substr(start, end - start));
  };
  auto numberAfter = [&status](const std::string& head) {
    const size_t start = status.find(head);
    return start == std::string::npos ? -1 : std::stoi(status.substr(start + head.size()));
  };
  EXPECT_EQ(numberAfter(" sweep "), 9) << status;
  EXPECT_GT(numberBefore(" good,"), 9 * 32) << status;
  EXPECT_EQ(numberBefore(" bad,"), 0) << status;
  EXPECT_EQ(log.find("refused runs"), std::string::npos) << log;
  EXPECT_NE(log.find("high voltage on"), std::string::npos);
  EXPECT_NE(log.find("high voltage off"), std::string::npos);

  // The control blocks as the instrument received them, in the order of the session.
  simulator.Stop();
  const PacketLog packets = ReadPacketLog(testing::ReadFile("packets.txt"));
  EXPECT_EQ(packets.bad, 0);
  EXPECT_EQ(packets.other, 0);
  EXPECT_GT(packets.polls, 0);
  std::vector<Transfer> blocks;
  for (size_t i = 0; i < packets.transfers.size(); ++i) {
    const Transfer& t = packets.transfers[i];
    if (t.block) {
      blocks.push_back(t);
      continue;
    }
    // Anything else is the stop-code acknowledge: register 1 alone, bit 4 added to the
    // last block's bits without its commands, between a sweep's end and the next start.
    SCOPED_TRACE("single write " + std::to_string(i));
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(t.address, 1);
    EXPECT_EQ(t.value, (blocks.back().reg[1] & ~CommandBits) | ClearStopCodeBit);
    EXPECT_NE(blocks.back().reg[1] & RunBit, 0u);
    ASSERT_LT(i + 1, packets.transfers.size());
  }
  // connect, high voltage on, 7 sweeps, 1 sweep halted by the instrument, 1 sweep
  // halted by the user, halt, disconnect.
  ASSERT_EQ(blocks.size(), 13u);
  for (const Transfer& b : blocks) {
    EXPECT_EQ(b.reg[0], 0u);
    EXPECT_EQ(b.reg[31], 0u);
    EXPECT_EQ(b.reg[2], 469u);  // 50 Hz
    EXPECT_EQ(b.reg[1] & ClearStopCodeBit, 0u);
  }
  auto commands = [](const Transfer& b) { return b.reg[1] & (CommandBits | ConnectStartBit); };
  EXPECT_EQ(commands(blocks[0]), StopBit | HighVoltageStopBit | ConnectStartBit);
  EXPECT_NE(blocks[0].reg[1] & CommsEnableBit, 0u);
  EXPECT_EQ(commands(blocks[1]), HighVoltageStartBit);
  for (size_t k = 2; k <= 10; ++k) EXPECT_EQ(commands(blocks[k]), RunBit) << k;
  EXPECT_EQ(commands(blocks[11]), StopBit | HighVoltageStopBit);
  EXPECT_EQ(commands(blocks[12]), HighVoltageStopBit);
  for (size_t k = 0; k < 12; ++k) EXPECT_NE(blocks[k].reg[1] & CommsEnableBit, 0u) << k;
  EXPECT_EQ(blocks[12].reg[1] & CommsEnableBit, 0u);

  // The set-up in every block: one and ten seconds at 50 Hz, the 300 us collector pulse
  // (timing class 300), clamp on idle, current drive. Until the first run, entry 0 holds
  // the connect defaults (a pulsed base); the run's steps and, after it, entry 0 hold the
  // dialled set-up (a continuous base).
  const uint32_t BaseGatePulsedBit = Bit(7), ClampOnIdleBit = Bit(10), CollectorPulsedBit = Bit(11);
  for (size_t k = 0; k < blocks.size(); ++k) {
    SCOPED_TRACE("block " + std::to_string(k));
    const Transfer& b = blocks[k];
    const bool connectDefaults = k < 2;
    EXPECT_EQ(b.reg[3], 50u);
    EXPECT_EQ(b.reg[5], 500u);
    EXPECT_EQ(b.reg[4], 108u);
    EXPECT_EQ(b.reg[23], static_cast<uint32_t>(TestSetup.SetupCollectorCurrentRange));
    EXPECT_EQ(b.reg[24], static_cast<uint32_t>(TestSetup.SetupBaseGateRange));
    EXPECT_EQ(b.reg[25], 0u);
    EXPECT_EQ(b.reg[26], 1u);
    EXPECT_NE(b.reg[1] & CollectorPulsedBit, 0u);
    EXPECT_NE(b.reg[1] & ClampOnIdleBit, 0u);
    EXPECT_EQ((b.reg[1] & BaseGatePulsedBit) != 0, connectDefaults);
    EXPECT_EQ(b.reg[18], connectDefaults ? 108u : 65535u);
    EXPECT_EQ(b.reg[19], connectDefaults ? 100u : 1u);
  }

  // Each sweep drives the base with its step's level (register 17, in the instrument's
  // output codes of the range in register 24): offset + step x step size.
  const kvrsim::Conversions fits = kvrsim::FitConversions(kvrsim::MakeCalibrationRecord(1));
  auto baseAmps = [&fits](const Transfer& b) {
    EXPECT_NE(b.reg[26], 0u);  // current drive
    const kvrsim::LinearMap& dac = fits.baseCurrentActiveDac.at(b.reg[24] & 3);
    return kvrsim::Apply(kvrsim::Inverse(dac), static_cast<int32_t>(b.reg[17]));
  };
  const double stepAmps = TestSetup.SetupStepCurrent, offsetAmps = TestSetup.SetupOffsetCurrent;
  ASSERT_GT(stepAmps, 0.0);
  const double codeAmps = std::abs(1.0 / fits.baseCurrentActiveDac.at(blocks[2].reg[24] & 3).gain);
  for (int step = 0; step <= 6; ++step) {
    EXPECT_NEAR(baseAmps(blocks[2 + step]), offsetAmps + step * stepAmps, codeAmps) << step;
  }
  EXPECT_EQ(blocks[9].reg[17], blocks[2].reg[17]);
  EXPECT_EQ(blocks[10].reg[17], blocks[2].reg[17]);
}

// Values typed into the direct-entry window while connected (the reader thread keeps
// receiving meanwhile) show on the panels and go out in the next run's control blocks.
TEST_F(SimScenarioTest, TypedValuesReachTheInstrument) {
  TestSetup.NumberOfSteps = 1;
  RecalculateTestSetup();
  ASSERT_TRUE(Press(ConnectButton, [] { return Phase() == 1; }));
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 2; }));

  // 5 V, 0.1 A, steps of 40 uA from an offset of 10 uA.
  testing::ScriptWindow(DirectEntryWindow, {[] { platform::headless::TypeIntoGadget(306, "5"); },
                                            [] { platform::headless::TypeIntoGadget(308, "0.1"); },
                                            [] { platform::headless::ClickGadget(312); },
                                            [] { platform::headless::TypeIntoGadget(310, "40"); },
                                            [] { platform::headless::ClickGadget(318); },
                                            [] { platform::headless::TypeIntoGadget(316, "10"); },
                                            [] { platform::headless::PushClose(DirectEntryWindow); }});
  ASSERT_TRUE(Press(MaxVoltageValue, [] { return !platform::IsWindow(DirectEntryWindow); }));
  platform::headless::SetWaitHook(nullptr);
  EXPECT_EQ(TestSetup.MaxVoltageText, screen::FormatVoltage(5.0, "", ""));
  EXPECT_EQ(TestSetup.MaxCurrentText, screen::FormatCurrent(0.1, "", ""));

  ASSERT_TRUE(Press(RunButton, [] { return RunControl.RunPhaseText == "Test complete"; }, 30000));
  simulator.Stop();
  std::vector<Transfer> sweeps;
  for (const Transfer& t : ReadPacketLog(testing::ReadFile("packets.txt")).transfers)
    if (t.block && (t.reg[1] & RunBit) != 0) sweeps.push_back(t);
  ASSERT_EQ(sweeps.size(), 2u);

  // The limits in the simulated unit's codes (negative ones as 4,294,967,295 + code), the
  // smallest series resistor for 5 V / 0.1 A, and each sweep's base current.
  const kvrsim::Conversions fits = kvrsim::FitConversions(kvrsim::MakeCalibrationRecord(1));
  auto limit = [](double code) { return code < 0 ? 4294967295.0 + code : code; };
  for (int step = 0; step < 2; ++step) {
    SCOPED_TRACE(step);
    const Transfer& b = sweeps[static_cast<size_t>(step)];
    EXPECT_EQ(b.reg[23], 3u);
    EXPECT_NEAR(b.reg[13], limit(kvrsim::Apply(fits.collectorVoltageToCode, 5.0)), 1.0);
    EXPECT_NEAR(b.reg[12], limit(kvrsim::Apply(fits.collectorVoltageToCode, -5.0)), 1.0);
    EXPECT_NEAR(b.reg[15], limit(kvrsim::Apply(fits.collectorCurrentToCode[3], 0.1)), 1.0);
    EXPECT_NEAR(b.reg[14], limit(kvrsim::Apply(fits.collectorCurrentToCode[3], -0.1)), 1.0);
    EXPECT_EQ(b.reg[24], 1u);  // 50 uA at most
    const kvrsim::LinearMap& dac = fits.baseCurrentActiveDac.at(1);
    EXPECT_NEAR(kvrsim::Apply(kvrsim::Inverse(dac), static_cast<int32_t>(b.reg[17])), 10e-6 + step * 40e-6,
                std::abs(1.0 / dac.gain));
  }
}

// Saves that fail, meet taken names or lose the link: no run is lost, none replaced, and
// neither the panel nor the title's Update takes a file for one that does not hold the
// run on display.
TEST_F(SimScenarioTest, SavesNeverLoseReplaceOrMisnameARun) {
  TestSetup.NumberOfSteps = 2;
  RecalculateTestSetup();
  ASSERT_TRUE(Press(ConnectButton, [] { return Phase() == 1; }));
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 2; }));
  auto runToEnd = [&] { return Press(RunButton, [] { return RunControl.RunPhaseText == "Test complete"; }, 30000); };
  ASSERT_TRUE(runToEnd());
  const std::string run2 = testing::ReadFile("sampleruns_KVR/0002.csv");

  // The save fails (its folder gone): the run is not saved, and Update only keeps the title.
  std::filesystem::rename(SampleRunFolder, "away");
  ASSERT_TRUE(runToEnd());
  std::filesystem::rename("away", SampleRunFolder);
  EXPECT_EQ(SampleRunNumber, 2);
  EXPECT_EQ(DisplayedRunFile, UnsavedRun);
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  testing::ScriptWindow(GraphTitleWindow, {[] { platform::headless::TypeIntoGadget(303, "Later"); },
                                           [] { platform::headless::ClickGadget(305); }});
  ASSERT_TRUE(Press(309, [] { return !platform::IsWindow(GraphTitleWindow); }));
  EXPECT_EQ(GraphTitleText, "Later");
  EXPECT_EQ(testing::ReadFile("sampleruns_KVR/0002.csv"), run2);

  // A name held by a folder is passed over; a file in the copy folder is kept.
  testing::MakeFolder("sampleruns_KVR/0003.csv");
  testing::MakeFolder("copies");
  testing::WriteFile("copies/0004.csv", "older");
  frame::AppSettings.SaveCSVFileEnabled = "Yes";
  frame::AppSettings.SaveCSVFileLocation = "copies\\";
  ASSERT_TRUE(runToEnd());
  EXPECT_EQ(DisplayedRunFile, 4);
  EXPECT_EQ(testing::ReadFile("copies/0004.csv"), "older");
  EXPECT_EQ(testing::ReadFile("copies/0004-2.csv"), testing::ReadFile("sampleruns_KVR/0004.csv"));

  // The link lost in step 1: steps 0 and 1 saved as a run that agrees with itself.
  ASSERT_TRUE(Press(RunButton, [] { return Phase() == 5 && RunControl.SweepNumber == 1 && Ramping(); }));
  Control("replug 3000");
  ASSERT_TRUE(RunUntil([] { return Phase() == 0; }, 5000));
  EXPECT_EQ(DisplayedRunFile, 5);
  std::istringstream cut(testing::ReadFile("sampleruns_KVR/0005.csv"));
  std::string line;
  std::getline(cut, line);
  std::vector<int> entries;  // per step, the entries read so far
  while (std::getline(cut, line)) {
    const std::vector<std::string> c = Cells(line);
    ASSERT_EQ(c[1], "1") << line;
    const size_t step = std::stoul(c[0]);
    entries.resize(std::max(entries.size(), step + 1));
    EXPECT_EQ(c[2], std::to_string(entries[step]++)) << line;
    EXPECT_EQ(c[3], std::to_string(DisplayedSweeps.TotalEntries[step])) << line;
  }
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1], DisplayedSweeps.TotalEntries[1] + 1);
  EXPECT_NE(testing::ReadFile("log.txt").find("sampleruns_KVR/0005.csv,The run was saved incomplete: the link to "
                                              "the instrument was lost in step 1 of steps 0 to 2"),
            std::string::npos);
  EXPECT_EQ(platform::headless::MessagesShown().size(), 1u);
}

// A stall of the program and an instrument that stops reading cost neither the link nor a
// click; a close waits for an instrument behind in reading to switch its high voltage off.
TEST_F(SimScenarioTest, AStallOrAnInstrumentThatDoesNotReadLosesNothing) {
  ASSERT_TRUE(Press(ConnectButton, [] { return Phase() == 1; }));
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 2; }));
  // 2.5 s in which the reader cannot look, as under SIGSTOP: the frames waiting are read
  // before the watchdog judges, so the link holds and the high-voltage button acts.
  {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    platform::Delay(2500);
  }
  EXPECT_FALSE(RunUntil([] { return link::LinkState.Connected == 0; }, 200));
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 1; }));
  EXPECT_TRUE(SimStatus().starts_with(" | HV off "));

  // An instrument whose input is full: the window answers, the link holds, and the click
  // is kept until the instrument reads again.
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 2; }));
  StopReading(60000);
  const int64_t clicked = platform::ElapsedMilliseconds();
  EXPECT_FALSE(Press(HighVoltageButton, [] { return link::LinkState.Connected == 0 || Phase() != 2; }, 2500));
  EXPECT_LT(platform::ElapsedMilliseconds() - clicked, 10000);
  Control("deaf 0");
  ASSERT_TRUE(RunUntil([] { return Phase() == 1; }, 5000));
  EXPECT_TRUE(SimStatus().starts_with(" | HV off "));

  // Closed with the instrument's input full, read again 0.8 s later: the last block is not
  // thrown away, and the port is let go with the high voltage reported off.
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 2; }));
  StopReading(800);
  StopCurveTracer();
  EXPECT_EQ(testing::ReadFile("log.txt").find("could not be confirmed off"), std::string::npos);
  EXPECT_TRUE(SimStatus().starts_with(" | HV off "));
}

// A disconnect pressed during a run, and a link lost to an instrument that stops
// answering but still listens, leave the instrument's high voltage off.
TEST_F(SimScenarioTest, LettingGoOfTheInstrumentSwitchesItsHighVoltageOff) {
  ASSERT_TRUE(Press(ConnectButton, [] { return Phase() == 1; }));
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 2; }));
  ASSERT_TRUE(Press(RunButton, [] { return Phase() == 5 && Ramping(); }));
  ASSERT_TRUE(Press(ConnectButton, [] { return Phase() == 0; }, 1000));
  EXPECT_EQ(RunControl.LastStopReason, "MANUAL HALT REQUEST");
  EXPECT_FALSE(testing::Exists("sampleruns_KVR/0002.csv"));
  EXPECT_TRUE(SimStatus().starts_with(" | HV off "));
  EXPECT_EQ(testing::ReadFile("log.txt").find("could not be confirmed off"), std::string::npos);

  // Disconnected while the instrument reads nothing for 3 s: the log says the high voltage
  // was not confirmed off, and the instrument acts on the block once it reads again.
  ASSERT_TRUE(Press(ConnectButton, [] { return Phase() == 1; }));
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 2; }));
  Control("deaf 3000");
  ASSERT_TRUE(Press(ConnectButton, [] { return link::LinkState.Connected == 0; }, 3000));
  EXPECT_NE(testing::ReadFile("log.txt").find("could not be confirmed off"), std::string::npos);
  EXPECT_TRUE(testing::WaitFor([] { return SimStatus().starts_with(" | HV off "); }, 5000));

  // Silent for good: the link is lost after 2 s, the block that switches the high voltage
  // off goes out first, and the run asked for meanwhile measured nothing.
  ASSERT_TRUE(Press(ConnectButton, [] { return Phase() == 1; }));
  ASSERT_TRUE(Press(HighVoltageButton, [] { return Phase() == 2; }));
  Control("silence 600000");
  ASSERT_TRUE(Press(RunButton, [] { return Phase() == 0; }, 6000));
  EXPECT_EQ(RunControl.ComStatusText, "LINK LOST");
  const std::string log = testing::ReadFile("log.txt");
  EXPECT_NE(log.find("the run was ended. Nothing was measured, so nothing was saved."), std::string::npos) << log;
  EXPECT_NE(log.find("The block that switches the high voltage off was sent before the port was closed."),
            std::string::npos);
  EXPECT_TRUE(SimStatus().starts_with(" | HV off "));
}

}  // namespace
}  // namespace zolt::tracer
