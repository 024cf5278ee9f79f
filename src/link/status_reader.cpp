// The curve tracer's reader thread and what a status frame changes.
#include "link/status_reader.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <span>
#include <string>

#include "frame/bits.h"
#include "frame/numbers.h"
#include "link/calibration.h"
#include "link/control_block.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "platform/system.h"
#include "tracer/run_state.h"
#include "tracer/setup.h"

namespace zolt::link {

namespace {

// A sample count of 0 is used as 1 and stored back as 1 (unless the main thread has just
// written a new count).
int32_t SampleCount(std::atomic<int32_t>& count) {
  int32_t value = count.load();
  if (value == 0) {
    count.compare_exchange_strong(value, 1);
    value = 1;
  }
  return value;
}

// Takes the InstrumentMutex, giving up when the thread is told to stop, so that a main
// thread that holds the mutex while it stops this thread never waits on it.
bool LockUnlessStopping(std::unique_lock<std::mutex>& lock) {
  while (!lock.try_lock()) {
    if (LinkState.StopThreads != 0) return false;
    platform::Delay(1);
  }
  return true;
}

}  // namespace

// ---- the thread ----

int32_t StartSerialReaderThread() {
  if (LinkThreadRunning() && LinkState.StopThreads == 0) return 1;
  return StartLinkThread(SerialReaderThread) ? 1 : 0;
}

int64_t ReaderLookTime(const ReaderPacingRecord& pacing) {
  return pacing.Batching ? pacing.LastWake + ReaderBatchMicroseconds : 0;
}

void NoteReaderWake(ReaderPacingRecord& pacing, int64_t woke, bool bytesWaiting, bool batchWaiting) {
  pacing.Batching = batchWaiting || (bytesWaiting && woke - pacing.LastWake < ReaderBatchMicroseconds);
  pacing.LastWake = woke;
}

int SerialReaderThread(void* /*unused*/) {
  ReaderPacingRecord pacing;
  while (LinkState.StopThreads == 0) {
    // Bytes are waited for with the mutex free; a bounded wait keeps the poll, the
    // watchdog and the stop flag looked at while the instrument is silent.
    if (LinkState.Connected == 1) {
      const int64_t lookAt = ReaderLookTime(pacing);
      bool batchWaiting = false;
      if (lookAt > platform::ElapsedMicroseconds()) {
        platform::SleepUntilMicroseconds(lookAt);
        batchWaiting = platform::WaitSerialReadable(InstrumentSerialPort, 0);
      }
      const bool waiting = batchWaiting || platform::WaitSerialReadable(InstrumentSerialPort, ReaderWaitMs);
      NoteReaderWake(pacing, platform::ElapsedMicroseconds(), waiting, batchWaiting);
    } else {
      pacing = ReaderPacingRecord{};
      platform::Delay(ReaderWaitMs);
    }
    std::unique_lock<std::mutex> lock(InstrumentMutex, std::defer_lock);
    if (!LockUnlessStopping(lock)) break;
    // Bytes the instrument did not take at once go on as it takes them; a poll would
    // only wait behind them.
    const bool behind = LinkState.Connected == 1 && platform::SendKeptSerialBytes(InstrumentSerialPort) > 0;
    if (!behind) PollInstrumentIfDue(PollIntervalMs, 1);
    // The frames waiting are read before the watchdog judges the link: after the program
    // stood still (a debugger, a suspended terminal, a swapping machine) they show that
    // the instrument answered all along. A read that filled its room may have left bytes
    // waiting: they are taken at once.
    const bool filled = ReadStatusFrames();
    CheckLinkTimeout();
    if (filled) pacing.Batching = false;
  }
  return 0;
}

// ---- the watchdog ----

void CheckLinkTimeout() { CheckLinkTimeout(platform::ElapsedMilliseconds()); }

namespace {

// An instrument that stopped answering may still listen, and may hold its high voltage
// on: before its port is let go it gets the registers of the last block with the
// commands that stop the sweep and switch the high voltage off, and the link bit off, as
// a disconnect sends them. The commands go out in this block only, as after every block.
void SendLastBlockToLostLink() {
  int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(RegisterImage[CommandBits]));
  for (int bit : {RunSweepBit, HighVoltageStartBit, ConnectStartBit, CommsEnableBit}) {
    bits = frame::SetBitValue(bits, bit, 0);
  }
  const int32_t stopped = frame::SetBitValue(frame::SetBitValue(bits, StopSweepBit, 1), HighVoltageStopBit, 1);
  RegisterImage[CommandBits] = static_cast<uint32_t>(stopped);
  WriteRegisterBlock(PollRegister, -32, 1);
  RegisterImage[CommandBits] = static_cast<uint32_t>(bits);
  LinkState.LostLinkLastBlock = platform::DrainSerialOutput(InstrumentSerialPort, LastBlockDrainMs)
                                    ? LostLinkBlockSent
                                    : LostLinkBlockNotTaken;
}

}  // namespace

void CheckLinkTimeout(int64_t now) {
  if (LinkState.Connected == 1 && now > LinkState.LastGoodFrameTime + LinkTimeoutMs) {
    SendLastBlockToLostLink();
    CloseInstrumentComPort();
  }
}

// ---- frames ----

bool ReadStatusFrames() { return ReadStatusFrames(platform::ElapsedMilliseconds()); }

bool ReadStatusFrames(int64_t now) {
  if (LinkState.Connected != 1) return false;
  // The bytes waiting go behind those kept from the last read (a frame's start). A read
  // that gives nothing looks whether the device vanished (it closes the port then).
  const int held = std::clamp(LinkState.CtHeldBytes, 0, LinkBufferBytes);
  const int room = std::min(LinkBufferBytes - held, ReadBatchBytes);
  const int got =
      std::max(0, platform::ReadSerialPort(InstrumentSerialPort, LinkState.RxBuffer + held, room));
  if (got == 0 && !platform::IsSerialPortOpen(InstrumentSerialPort)) {
    LinkState.Connected = 0;  // the device vanished
    return false;
  }
  LinkState.CtHeldBytes = held + got;
  TakeStatusFrames(now);
  return room > 0 && got == room;
}

void TakeStatusFrames(int64_t now) {
  uint8_t* buffer = LinkState.RxBuffer;
  const std::span<const uint8_t> bytes(
      buffer, static_cast<size_t>(std::clamp(LinkState.CtHeldBytes, 0, LinkBufferBytes)));

  // Every whole frame is taken. After a frame that fails its check, the stream is read on
  // from the next offset whose 32 bytes pass it. Once a good frame ends a stretch of bytes
  // passed over, the stretch counts as the frames it held: its length in frames, rounded
  // to the nearest whole. So a stray byte or a few cost no frame, and a frame that lost a
  // few bytes on the way still counts as one.
  size_t at = 0;
  while (bytes.size() - at >= StatusFrameBytes) {
    const size_t next = NextStatusFrame(bytes, at);
    LinkState.CtSkippedBytes = static_cast<int32_t>(
        std::min<int64_t>(int64_t{LinkState.CtSkippedBytes} + static_cast<int64_t>(next - at), 1 << 30));
    at = next;
    if (bytes.size() - at < StatusFrameBytes) break;
    if (LinkState.CtSkippedBytes > 0) {
      const int32_t lost = (LinkState.CtSkippedBytes + StatusFrameBytes / 2) / StatusFrameBytes;
      LinkState.BadFrameCount += lost;
      tracer::RunControl.LostFrames += lost;
      LinkState.CtSkippedBytes = 0;
    }
    StatusFrame frame;
    DecodeStatusFrame(bytes.subspan(at), frame);
    ApplyStatusFrame(frame, now);
    at += StatusFrameBytes;
  }
  std::memmove(buffer, buffer + at, bytes.size() - at);
  LinkState.CtHeldBytes = static_cast<int32_t>(bytes.size() - at);
}

void ApplyStatusFrame(const StatusFrame& frame, int64_t now) {
  LinkState.LastGoodFrameTime = now;

  StatusReadingsRecord& r = StatusReadings;
  const double vcCount = SampleCount(r.VcSampleCount);
  const double vrCount = SampleCount(r.VrSampleCount);
  const double vbCount = SampleCount(r.VbSampleCount);
  const double icCount = SampleCount(r.IcSampleCount);
  r.LiveVc = frame.CollectorVoltage / vcCount * r.VcGain + r.VcOffset;
  r.LiveVr = frame.ResistorVoltage / vrCount * r.VcGain + r.VcOffset;
  r.LiveVb = frame.BaseGateVoltage / vbCount * r.VbGain + r.VbOffset;
  const int32_t range = r.ReadingCurrentRange;
  if (range >= 0 && range <= 3) {
    r.LiveIc = frame.CollectorCurrent / icCount * r.IcGain[range] + r.IcOffset[range];
  }

  tracer::RunControlRecord& run = tracer::RunControl;
  run.HighVoltageOn = (frame.StatusWord & HighVoltageOnBit) != 0 ? 1 : 0;
  run.StopCode = StopCodeBits(frame.StatusWord);
  run.RunState = RunStateText(RunStateBits(frame.StatusWord));

  // A new curve opens on the pre-ramp to ramping edge; points advance only while ramping.
  const bool ramping = frame::EqualsIgnoringCase(run.RunState, "ramping");
  if (ramping) {
    if (frame::EqualsIgnoringCase(run.PreviousRunState, "pre-ramp")) {
      ++run.StepIndex;
      run.PointIndex = 0;
    } else {
      ++run.PointIndex;
    }
  }
  run.PreviousRunState = run.RunState;

  if (ramping) {
    // The indices are clamped for storing only: extra steps overwrite curve 24 and extra
    // points overwrite point 10000.
    const int s = std::clamp(run.StepIndex, 0, tracer::MaxCurves - 1);
    const int p = std::clamp(run.PointIndex, 0, tracer::AcquiredPointsPerCurve - 1);
    tracer::SweepPoint& point = tracer::AcquiredSweeps.Point[s][p];
    point.RunStatus = frame.StatusWord & 0x7FFF;
    point.VC_V = r.LiveVc;
    point.VR_V = r.LiveVr;
    point.VB_V = r.LiveVb;
    point.IC_A = r.LiveIc;
    point.IR_A = 0.0;
    point.IB_A = 0.0;
    point.TIB_A = tracer::StepSetups[s].BaseGateActiveCurrent;
    point.TVB_V = tracer::StepSetups[s].BaseGateActiveVoltage;
    tracer::AcquiredSweeps.LastEntry[s] = p;
  }

  ReceiveCalibrationWord((frame.StatusWord & CalibrationMarkerBit) != 0 ? 1 : 0,
                         frame.CalibrationWord);
  run.NewFrame = 1;
}

}  // namespace zolt::link
