// The curve tracer's per-frame handler: the reader's conversion inputs and the live
// readouts, the pointer step, relayout, the control dispatch and the configuration check,
// then one step of the run-phase machine under the InstrumentMutex.
//
// Sections: live readouts; run phases; the lost link; the per-frame handler; shutdown.
#include "tracer/run_phases.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "frame/app.h"
#include "frame/bits.h"
#include "frame/log.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "link/calibration.h"
#include "link/control_block.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "link/status_reader.h"
#include "platform/system.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"
#include "tracer/dispatch.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"
#include "tracer/startup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {

// ---- live readouts ----

namespace {

constexpr double BaseGateReadoutLimit = 1.5;

// The readings the texts were last formatted from: the handler runs a thousand times a
// second, the instrument's readings change far less often.
struct FormattedReadings {
  double In[4] = {};
  std::string Out[4];
};

FormattedReadings formatted;

void SetReadoutTexts(double vc, double vr, double ic, double vb) {
  LiveReadoutRecord& out = LiveReadouts;
  const double in[4] = {vc, vr, ic, vb};
  std::string* texts[4] = {&out.VcReadoutText, &out.VrReadoutText, &out.IcReadoutText, &out.VbReadoutText};
  bool same = std::memcmp(in, formatted.In, sizeof in) == 0;
  for (int k = 0; same && k < 4; ++k) same = *texts[k] == formatted.Out[k];
  if (same) return;
  out.VcReadoutText = frame::FixedDecimals(vc, 3) + " V";
  out.VrReadoutText = frame::FixedDecimals(vr, 3) + " V";
  out.IcReadoutText = frame::FixedDecimals(ic * 1000.0, 3) + " mA";
  out.VbReadoutText = frame::FixedDecimals(vb, 3) + " V";
  if (vb > BaseGateReadoutLimit) out.VbReadoutText = ">+1.50 V";
  if (vb < -BaseGateReadoutLimit) out.VbReadoutText = "<-1.50 V";
  std::memcpy(formatted.In, in, sizeof in);
  for (int k = 0; k < 4; ++k) formatted.Out[k] = *texts[k];
}

std::string RawReadout(double sum, int32_t count) {
  return std::to_string(frame::RoundHalfEven(sum / (count == 0 ? 1 : count)));
}

// InstrumentMutex held.
void FormatLiveReadoutsLocked() {
  LiveReadoutRecord& out = LiveReadouts;
  if (link::LinkState.Connected == 0) {
    for (std::string* text : {&out.VcReadoutText, &out.VrReadoutText, &out.IcReadoutText, &out.VbReadoutText})
      if (*text != "-") *text = "-";
    return;
  }
  const link::StatusReadingsRecord& r = link::StatusReadings;
  const std::string& mode = frame::AppSettings.LiveReadings;
  if (frame::EqualsIgnoringCase(mode, "realtime")) {
    SetReadoutTexts(r.LiveVc, r.LiveVr, r.LiveIc, r.LiveVb);
  } else if (frame::EqualsIgnoringCase(mode, "smoothed")) {
    const double* s = out.SmoothedReadings;
    SetReadoutTexts(s[0], s[1], s[2], s[3]);
  } else if (frame::EqualsIgnoringCase(mode, "raw")) {
    const double* sum = out.RawReadingSums;
    out.VcReadoutText = RawReadout(sum[0], r.VcSampleCount);
    out.VrReadoutText = RawReadout(sum[1], r.VrSampleCount);
    out.IcReadoutText = RawReadout(sum[2], r.IcSampleCount);
    out.VbReadoutText = RawReadout(sum[3], r.VbSampleCount);
  }
}

// Hands the reader thread what it converts the next frames with: the read-window sample
// counts of the last control block, the code-to-value calibration pairs and the collector
// current range. Done under the InstrumentMutex, so that the reader never converts a frame
// with counts from one block and gains from another. InstrumentMutex held.
void HandOverConversionInputs() {
  link::StatusReadingsRecord& r = link::StatusReadings;
  const link::CalibrationCoefficientsRecord& cal = link::CalibrationCoefficients;
  r.VcSampleCount = link::VcWindowCount;
  r.VrSampleCount = link::VrWindowCount;
  r.VbSampleCount = link::VbWindowCount;
  r.IcSampleCount = link::IcWindowCount;
  r.VcGain = cal.CollectorVoltageFromCode.Gain;
  r.VcOffset = cal.CollectorVoltageFromCode.Offset;
  r.VbGain = cal.BaseGateVoltageFromCode.Gain;
  r.VbOffset = cal.BaseGateVoltageFromCode.Offset;
  for (int range = 0; range < 4; ++range) {
    r.IcGain[range] = cal.CollectorCurrentFromCode[range].Gain;
    r.IcOffset[range] = cal.CollectorCurrentFromCode[range].Offset;
  }
  r.ReadingCurrentRange = TestSetup.SetupCollectorCurrentRange;
}

}  // namespace

void FormatLiveReadouts() {
  std::lock_guard<std::mutex> lock(link::InstrumentMutex);
  FormatLiveReadoutsLocked();
}

// ---- run phases ----
//
// Every phase sets its text, then makes its checks in order within the same pass, so a
// later check overrides the phase an earlier one set. All of it runs with the
// InstrumentMutex held.

namespace {

enum RunPhaseNumber : int32_t {
  PhaseDisconnected = 0,
  PhaseHighVoltageOff = 1,
  PhaseHighVoltageOn = 2,
  PhaseRunRequested = 3,
  PhaseStartSweep = 4,
  PhaseSweeping = 5,
  PhaseSweepStopped = 6,
  PhaseTestComplete = 7,
  PhaseRemoteHalt = 8,
  PhaseManualHalt = 9,
};

constexpr int DisconnectPauseMs = 100;
// Longest wait at the program's end for the instrument to report the high voltage off.
constexpr int HighVoltageConfirmMs = 2000;

// One point of a curve copied from the acquired set into the display copy.
void CopySweepPoint(int curve, int32_t point) {
  const SweepPoint& from = AcquiredSweeps.Point[curve][point];
  SweepPoint& to = DisplayedSweeps.Point[curve][point];
  to.RunStatus = from.RunStatus;
  to.VC_V = from.VC_V;
  to.VR_V = from.VR_V;
  to.VB_V = from.VB_V;
  to.IC_A = from.IC_A;
  to.IR_A = from.IR_A;
  to.IB_A = from.IB_A;
  to.TIB_A = from.TIB_A;
  to.TVB_V = from.TVB_V;
}

// Why a sweep ended, by stop code 1..15 (code 0: still running).
constexpr const char* StopCodeTexts[16] = {
    "",
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
    "USB VOLTAGE (min) EXCEEDED",
};

// The phase's text is set on every pass; it is looked up again only when the phase, the
// language or the language table changed since the last lookup.
struct PhaseTextLookup {
  const char* English = nullptr;
  int32_t Column = -1;
  uint64_t TableRevision = 0;
  std::string Translated;
};

PhaseTextLookup phaseText;

void SetPhaseText(const char* text) {
  PhaseTextLookup& last = phaseText;
  const int32_t column = frame::LanguageState.LanguageColumn;
  const uint64_t revision = frame::LanguageTableRevision();
  if (text != last.English || column != last.Column || revision != last.TableRevision) {
    last.Translated = frame::Translate(text);
    last.English = text;
    last.Column = column;
    last.TableRevision = revision;
  }
  if (RunControl.RunPhaseText != last.Translated) RunControl.RunPhaseText = last.Translated;
}

// Log lines noted while the InstrumentMutex is held, written once it is released: a log
// that cannot be written shows a message box, which must never hold the reader up.
std::vector<std::string> PendingLogLines;

void WritePendingLogLines() {
  if (PendingLogLines.empty()) return;
  std::vector<std::string> lines;
  lines.swap(PendingLogLines);
  const std::string port = "COM" + std::to_string(frame::AppSettings.ComPort);
  for (const std::string& text : lines) frame::ReportMessage("Link", port, text);
}

// A run that ends tells the log how many damaged frames it had to drop, if any.
void NoteLostFrames() {
  const int32_t lost = RunControl.LostFrames;
  if (lost > 0) {
    PendingLogLines.push_back("The run lost " + std::to_string(lost) + " status frame" +
                              (lost == 1 ? "" : "s") + " to damage on the link.");
  }
}

// A last block leaves the port before the port is closed: an instrument slow to read gets
// up to LastBlockDrainMs to take it (rather than having it thrown away), then the pause
// lets it act on the block. False when it did not take it all.
bool LetLastBlockLeave() {
  const bool left = platform::DrainSerialOutput(link::InstrumentSerialPort, link::LastBlockDrainMs);
  platform::Delay(DisconnectPauseMs);
  return left;
}

void NoteLastBlockNotTaken() {
  PendingLogLines.push_back("The instrument did not take all of the block that switches the high voltage off "
                            "before its port was closed; the high voltage may still be on.");
}

// Set by a disconnect: the port is let go once the InstrumentMutex is free and the
// instrument has reported the high voltage off (LetGoOfInstrument).
bool LetGoPending = false;

// Link bit off and high voltage off; the port is closed and the reader stopped after the
// lock, once the instrument reports the high voltage off.
void Disconnect() {
  RunControlRecord& run = RunControl;
  run.CommsEnable = "Off";
  run.HighVoltageCommand = "Stop";
  link::SendControlBlock(0);
  LetLastBlockLeave();
  run.RunPhase = PhaseDisconnected;
  run.HighVoltageOn = 0;
  LetGoPending = true;
}

void StartRun() {
  RunControlRecord& run = RunControl;
  run.LastStopReason = frame::Translate("");
  RecalculateTestSetup();
  PrepareRunRecord();
  // Point 0 of every curve holds no point until one is measured, so a step that gets
  // none shows and saves no point of an earlier run.
  for (int c = 0; c < MaxCurves; ++c) {
    AcquiredSweeps.LastEntry[c] = 0;
    AcquiredSweeps.Point[c][0] = MissingSweepPoint();
    DisplayedSweeps.TotalEntries[c] = 0;
    DisplayedSweeps.Point[c][0] = MissingSweepPoint();
  }
  ++DisplayedSweepsRevision;
  DisplayedRunFile = UnsavedRun;
  run.SweepNumber = 0;
  run.LostFrames = 0;
  run.StepIndex = -1;
  run.PointIndex = -1;
  run.RunPhase = PhaseRunRequested;
  run.NewFrame = 0;
}

// Tells the instrument to clear its stop code: bit 4 of register 1 sent alone, then
// cleared in the image so the next control block carries it as 0.
void AcknowledgeStopCode() {
  int64_t& reg = link::RegisterImage[link::CommandBits];
  const auto bits = static_cast<int32_t>(static_cast<uint32_t>(reg));
  reg = static_cast<uint32_t>(frame::SetBitValue(bits, link::ClearStopCodeBit, 1));
  link::SendSingleRegister(link::CommandBits);
  reg = static_cast<uint32_t>(frame::SetBitValue(bits, link::ClearStopCodeBit, 0));
}

void StepDisconnected() {
  RunControlRecord& run = RunControl;
  SetPhaseText("Disconnected");
  if (run.ConnectRequest != 1) return;
  // A failure leaves the phase at 0; the port reports its own failure.
  if (link::StartSerialReaderThread() != 1) return;
  if (link::OpenInstrumentComPort() != 1) return;
  run.LinkLost = 0;
  run.ComStatusText.clear();
  ResetSetupToDefaults();
  link::LinkState.LastPollTime = platform::ElapsedMilliseconds();
  run.RunPhase = PhaseHighVoltageOff;
}

void StepHighVoltageOff() {
  RunControlRecord& run = RunControl;
  SetPhaseText("Idling, HV is OFF");
  if (run.HighVoltageRequest == 1) {
    run.CommsEnable = "On";
    run.HighVoltageCommand = "Start";
    link::SendControlBlock(0);
    link::LinkState.LastPollTime = platform::ElapsedMilliseconds();
  }
  if (run.HighVoltageOn == 1) run.RunPhase = PhaseHighVoltageOn;
  if (run.ConnectRequest == 1) Disconnect();
}

void StepHighVoltageOn() {
  RunControlRecord& run = RunControl;
  SetPhaseText("Idling, HV is ON");
  if (run.HighVoltageRequest == 1) {
    run.CommsEnable = "On";
    run.HighVoltageCommand = "Stop";
    link::SendControlBlock(0);
  }
  if (run.HighVoltageOn == 0) run.RunPhase = PhaseHighVoltageOff;
  if (run.ConnectRequest == 1) Disconnect();
  if (run.RunRequest == 1) StartRun();
}

void StepRunRequested() {
  RunControlRecord& run = RunControl;
  SetPhaseText("Run requested");
  if (run.NewFrame == 1) {
    run.NewFrame = 0;
    if (run.StopCode == 0) {
      run.RunPhase = PhaseStartSweep;
    } else {
      AcknowledgeStopCode();
    }
  }
  if (run.HaltRequest == 1) run.RunPhase = PhaseManualHalt;
  CopyNewSweepPoints();
}

void StepStartSweep() {
  RunControlRecord& run = RunControl;
  SetPhaseText("Start sweep");
  run.SweepCommand = "Run";
  link::SendControlBlock(run.SweepNumber);
  run.RunPhase = PhaseSweeping;
  CopyNewSweepPoints();
}

void StepSweeping() {
  RunControlRecord& run = RunControl;
  run.RunPhaseText = run.RunState + " " + std::to_string(run.StepIndex) + "/" +
                     std::to_string(run.PointIndex);
  if (run.NewFrame == 1) {
    run.NewFrame = 0;
    const int32_t code = run.StopCode;
    if (code == 1) run.RunPhase = PhaseRemoteHalt;
    if (code >= 2 && code <= 15) run.RunPhase = PhaseSweepStopped;
    if (code >= 1 && code <= 15) run.LastStopReason = frame::Translate(StopCodeTexts[code]);
  }
  if (run.HaltRequest == 1) run.RunPhase = PhaseManualHalt;
  CopyNewSweepPoints();
}

void StepSweepStopped() {
  RunControlRecord& run = RunControl;
  SetPhaseText("Sweep stop code found");
  ++run.SweepNumber;
  run.RunPhase = run.SweepNumber > RunInfo.TotalSteps ? PhaseTestComplete : PhaseRunRequested;
  CopyNewSweepPoints();
}

// The finished run is saved once the InstrumentMutex is released (a slow disk must not
// hold the reader up until its watchdog closes the link). A run cut short says why.
bool RunSavePending = false;
std::string IncompleteRunReason;

void StepTestComplete() {
  SetPhaseText("Test complete");
  RunControl.RunPhase = PhaseHighVoltageOn;
  CopyNewSweepPoints();
  NoteLostFrames();
  RunSavePending = true;
}

void StepRemoteHalt() {
  SetPhaseText("REMOTE HALT");
  RunControl.RunPhase = PhaseHighVoltageOn;
  CopyNewSweepPoints();
  NoteLostFrames();
}

// The phase text stays as the phase before left it.
void StepManualHalt() {
  RunControlRecord& run = RunControl;
  run.LastStopReason = frame::Translate("MANUAL HALT REQUEST");
  run.SweepCommand = "Stop";
  run.HighVoltageCommand = "Stop";
  link::SendControlBlock(0);
  run.RunPhase = PhaseHighVoltageOff;
  CopyNewSweepPoints();
  NoteLostFrames();
}

// A disconnect pressed during a run halts it as the halt button does (nothing is saved)
// and then disconnects, the block stopping the sweep with the high voltage. A run whose
// last sweep has just ended is whole, and is saved first as its end saves it.
void DisconnectDuringRun() {
  RunControlRecord& run = RunControl;
  if (run.RunPhase == PhaseTestComplete) StepTestComplete();
  if (run.RunPhase >= PhaseRunRequested) {
    run.LastStopReason = frame::Translate("MANUAL HALT REQUEST");
    CopyNewSweepPoints();
    NoteLostFrames();
  }
  run.SweepCommand = "Stop";
  Disconnect();
}

void StepRunPhase() {
  const int32_t phase = RunControl.RunPhase;
  switch (phase) {
    case PhaseDisconnected: StepDisconnected(); break;
    case PhaseHighVoltageOff: StepHighVoltageOff(); break;
    case PhaseHighVoltageOn: StepHighVoltageOn(); break;
    case PhaseRunRequested: StepRunRequested(); break;
    case PhaseStartSweep: StepStartSweep(); break;
    case PhaseSweeping: StepSweeping(); break;
    case PhaseSweepStopped: StepSweepStopped(); break;
    case PhaseTestComplete: StepTestComplete(); break;
    case PhaseRemoteHalt: StepRemoteHalt(); break;
    case PhaseManualHalt: StepManualHalt(); break;
    default: break;
  }
  // Phases 1 and 2 serve a disconnect themselves.
  if (phase >= PhaseRunRequested && RunControl.ConnectRequest == 1) DisconnectDuringRun();
}

// ---- the lost link ----
//
// The reader closes the port when the instrument hangs up or sends no good frame for
// 2 s; in the second case it first sends the block that switches the high voltage off,
// as an instrument that no longer answers may still listen. The next pass notices it: a
// run under way ends, its points kept on display, and the steps it measured are saved as
// a run of its own; the screen shows the phase "Disconnected" with the lost link in the
// connect status, the log tells of the link and of the high voltage, and the connect
// button connects again. The reader thread stays and idles until then.
//
// A run whose last sweep had already stopped is whole: it is saved as its end would have
// saved it, so a link lost in the pass or two before the save loses no measured run.

// The run cut short by the lost link, made a run of its own: the steps up to the last
// one that got a point, each with its points as measured, so that the file agrees with
// itself. Nothing is saved when no step got a point; true when the run is to be saved.
// InstrumentMutex held.
bool KeepCutRun() {
  RunControlRecord& run = RunControl;
  const int32_t lastStep = std::min({run.StepIndex, RunInfo.TotalSteps, int32_t{MaxCurves - 1}});
  if (lastStep < 0) return false;
  IncompleteRunReason = "the link to the instrument was lost in step " + std::to_string(run.SweepNumber) +
                        " of steps 0 to " + std::to_string(RunInfo.TotalSteps) + "; the file holds steps 0 to " +
                        std::to_string(lastStep);
  RunInfo.TotalSteps = lastStep;
  RunSavePending = true;
  return true;
}

// What the log says of the high voltage when the link was lost: whether the block that
// switches it off went out before the port was closed. InstrumentMutex held.
void NoteLostLinkHighVoltage(bool mayBeOn) {
  const int32_t lastBlock = link::LinkState.LostLinkLastBlock;
  link::LinkState.LostLinkLastBlock = link::LostLinkNoBlock;
  if (lastBlock == link::LostLinkBlockSent) {
    PendingLogLines.push_back("The block that switches the high voltage off was sent before the port was closed.");
  } else if (lastBlock == link::LostLinkBlockNotTaken) {
    PendingLogLines.push_back(
        "The block that switches the high voltage off was sent, but the instrument did not take all of it "
        "before the port was closed; the high voltage may still be on.");
  } else if (mayBeOn) {
    PendingLogLines.push_back(
        "The instrument's port was gone, so no block could switch the high voltage off; it may still be on.");
  }
}

void LoseLink() {
  RunControlRecord& run = RunControl;
  const bool runWhole = run.RunPhase == PhaseTestComplete ||
                        (run.RunPhase == PhaseSweepStopped && run.SweepNumber + 1 > RunInfo.TotalSteps);
  const bool runUnderWay = run.RunPhase >= PhaseRunRequested && !runWhole;
  // A run already halted, by the user or the instrument, stays unsaved.
  const bool halted = run.RunPhase == PhaseRemoteHalt || run.RunPhase == PhaseManualHalt;
  const bool highVoltageMayBeOn = run.HighVoltageOn == 1 || run.RunPhase >= PhaseHighVoltageOn;
  bool cutRunKept = false;
  if (runUnderWay) {
    CopyNewSweepPoints();
    run.LastStopReason = frame::Translate("LINK LOST");
    if (!halted) cutRunKept = KeepCutRun();
  }
  if (runWhole) {
    CopyNewSweepPoints();
    NoteLostFrames();
    RunSavePending = true;
  }
  link::CloseInstrumentComPort();  // a vanished device still holds its descriptor
  run.RunPhase = PhaseDisconnected;
  run.HighVoltageOn = 0;
  run.LinkLost = 1;
  run.ComStatusText = frame::Translate("LINK LOST");
  SetPhaseText("Disconnected");
  std::string line = runUnderWay ? "The link to the instrument was lost during a run; the run was ended."
                                 : "The link to the instrument was lost.";
  if (runUnderWay && !halted && !cutRunKept) line += " Nothing was measured, so nothing was saved.";
  PendingLogLines.push_back(line);
  NoteLostLinkHighVoltage(highVoltageMayBeOn);
  if (runUnderWay) NoteLostFrames();
}

}  // namespace

void CopyNewSweepPoints() {
  for (int c = 0; c < MaxCurves; ++c) {
    const int32_t last = AcquiredSweeps.LastEntry[c];
    int32_t& shown = DisplayedSweeps.TotalEntries[c];
    if (last < shown) continue;
    // The point at the old count is copied again: it may have been stored after the last
    // copy took it.
    for (int32_t p = shown < 0 ? 0 : shown; p <= last && p < AcquiredPointsPerCurve; ++p) {
      shown = p;
      CopySweepPoint(c, p);
    }
  }
}

// ---- the per-frame handler ----

namespace {

bool HighVoltageConfirmedOff();
void NoteHighVoltageNotConfirmed();

// The port of a disconnect let go: once the instrument reports the high voltage off, or
// after a bounded wait that the log tells of. InstrumentMutex free.
void LetGoOfInstrument() {
  const bool confirmed = HighVoltageConfirmedOff();
  std::lock_guard<std::mutex> lock(link::InstrumentMutex);
  if (!confirmed) NoteHighVoltageNotConfirmed();
  link::CloseInstrumentComPort();
  link::StopLinkThread();
  RunControl.HighVoltageOn = 0;
}

}  // namespace

void HandleCurveTracerFrame() {
  {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    HandOverConversionInputs();
    FormatLiveReadoutsLocked();
  }

  screen::HandleScreenMouse();

  frame::FrameLoopStateRecord& loop = frame::FrameLoopState;
  if (loop.ResizePending == 1) {
    loop.ResizePending = 0;
    screen::CloseGraphScreen();
    ComputeMainLayout(loop.MainLayoutVariant);
    screen::OpenGraphScreen();
  }

  ControlDispatch();
  screen::ClickedZone = 0;

  if (TestConfiguration != AppliedTestConfiguration) {
    AppliedTestConfiguration = TestConfiguration;
    ApplyTestConfiguration(TestConfiguration);
    RecalculateTestSetup();
  }

  {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    if (RunControl.RunPhase != PhaseDisconnected && link::LinkState.Connected == 0) {
      LoseLink();
    } else {
      StepRunPhase();
    }
  }
  if (std::exchange(LetGoPending, false)) LetGoOfInstrument();
  WritePendingLogLines();
  if (RunSavePending) {
    RunSavePending = false;
    SaveRunCsvFile(IncompleteRunReason);
    IncompleteRunReason.clear();
  }

  RunControlRecord& run = RunControl;
  run.RunRequest = 0;
  run.HaltRequest = 0;
  run.ConnectRequest = 0;
  run.HighVoltageRequest = 0;

  ReportUnsavedRunFiles();
  link::StoreReceivedCalibration();
}

// ---- shutdown ----

namespace {

// The last block to an instrument about to be left: sweep and high voltage stopped, with
// the link bit as given, and its time to leave the port before it is closed. False when
// the instrument did not take it all.
bool SendLastBlock(const char* commsEnable) {
  RunControlRecord& run = RunControl;
  run.SweepCommand = "Stop";
  run.CommsEnable = commsEnable;
  run.HighVoltageCommand = "Stop";
  link::SendControlBlock(0);
  return LetLastBlockLeave();
}

// Waits with the InstrumentMutex free, so that the reader goes on sending what the
// instrument has not taken yet and reading its frames, until a frame received after the
// last block left the port reports the high voltage off: at most HighVoltageConfirmMs.
// True when one did.
bool HighVoltageConfirmedOff() {
  const int64_t deadline = platform::ElapsedMilliseconds() + HighVoltageConfirmMs;
  int64_t leftAt = -1;  // when the port was found to hold nothing unsent
  while (platform::ElapsedMilliseconds() < deadline) {
    {
      std::lock_guard<std::mutex> lock(link::InstrumentMutex);
      if (link::LinkState.Connected != 1) return false;
      if (leftAt < 0 && platform::DrainSerialOutput(link::InstrumentSerialPort, 0)) {
        leftAt = platform::ElapsedMilliseconds();
      }
      if (leftAt >= 0 && link::LinkState.LastGoodFrameTime > leftAt && RunControl.HighVoltageOn == 0) return true;
    }
    platform::Delay(1);
  }
  return false;
}

void NoteHighVoltageNotConfirmed() {
  PendingLogLines.push_back("The high voltage could not be confirmed off before the program let go of the "
                            "instrument: it did not report it off.");
}

// A run under way ends here too, and says how many damaged frames it dropped.
void LeaveDisconnected() {
  if (RunControl.RunPhase >= PhaseRunRequested) NoteLostFrames();
  link::CloseInstrumentComPort();
  RunControl.RunPhase = PhaseDisconnected;
  RunControl.HighVoltageOn = 0;
}

}  // namespace

void StopCurveTracer() {
  bool sent = false;
  {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    // The same command bits as the halt and the high-voltage button, the link left on.
    sent = link::LinkState.Connected == 1;
    if (sent) SendLastBlock("On");
  }
  // The port is let go once the instrument reports the high voltage off, or after a
  // bounded wait that the log tells of.
  if (sent && !HighVoltageConfirmedOff()) NoteHighVoltageNotConfirmed();
  {
    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    LeaveDisconnected();
  }
  link::StopLinkThread();
  WritePendingLogLines();
}

void ReleaseInstrumentLink() {
  std::lock_guard<std::mutex> lock(link::InstrumentMutex);
  // The reader waiting for the mutex gives up once told to stop, so it is joined here
  // and never meets the port closed or another port in its slot.
  link::StopLinkThread();
  if (link::LinkState.Connected == 1 && !SendLastBlock("Off")) NoteLastBlockNotTaken();
  LeaveDisconnected();
}

}  // namespace zolt::tracer
