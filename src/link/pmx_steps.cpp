// The power analyser's connection steps: one step per main-loop turn, so the screen shows
// each stage of a connection and a disconnection. Each step sets the connect control's
// caption and the numbered step line, does its work and names the next step.
//
//   step  caption         action                                              next
//   0     Connect         not running                                         (click: 1)
//   1     Connecting      wait for the last link's thread to let the device   2, or 3 when
//                         go; open the USB device at 1,000,000 baud           it does not
//   2     Connecting      note the time                                       4 open, 3 not
//   3     (none)          "Bad USB start" for 2 s                             0
//   4     Connecting      -                                                   5
//   5     Connecting      EEPROM area into "PMX_cal.txt", read by a thread    6, or 0 when
//                         of its own while this step looks on each turn       held up
//   6     Connecting      fit the ranges' constants; ranges to be applied     7
//   7     Connecting      start the comms thread                              8, or 9
//   8     Connecting      -                                                   10
//   9     (none)          "Comms Thread Failed!" for 1 s; close the device    0
//   10    Connecting      enable the stream (registers 1 and 2)               11
//   11    Connected       running; a lost link goes back to 0 with a log line (click: 100)
//   100   Disconnecting   stop the thread, which closes the device            101
//   101   Disconnecting   wait 2 s                                            0
//
// Step 7 tells the front end that a stream starts; a lost link (steps 5 and 11) and a
// disconnection (step 100) tell it that the link ended (PmxLinkHooks). A save to the
// device is taken only in step 11, made by the comms thread, told once its outcome is
// known, and told as failed when its link ends first.
//
// From step 5 a link thread holds the device (the EEPROM reader, then the comms thread)
// and closes it when it ends. The steps never wait for it longer than the
// disconnection's 100 ms pause: a thread held up in a device call ends (and is joined)
// once the call returns, and a new connection waits in step 1, turn by turn, until it
// has.
#include <algorithm>
#include <string>

#include "frame/log.h"
#include "frame/translate.h"
#include "link/d2xx.h"
#include "link/link_state.h"
#include "link/pmx_calibration.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "link/usb_device.h"
#include "platform/system.h"

namespace zolt::link {

namespace {

const std::string PmxCalibrationFile = "PMX_cal.txt";
constexpr int32_t PmxBaud = 1000000;
constexpr int BadStartShowMs = 2000;
constexpr int ThreadFailedShowMs = 1000;
constexpr int StoppingShowMs = 2000;
constexpr int DisconnectPauseMs = 100;
// The longest a new connection waits for the last link's thread to let the device go.
constexpr int DeviceHeldWaitMs = 3000;

void Show(const std::string& caption, const std::string& stepLine) {
  PmxLinkState.PmxStatusText = caption;
  PmxLinkState.PmxStepText = stepLine;
}

// A timed step ends once more than `delay` has passed since it began.
bool Elapsed(int64_t now, int delay) { return now - PmxLinkState.PmxStepTime > delay; }

void ShowDisconnected() {
  Show(frame::Captions.Connect, "0: ");
  PmxLinkState.PmxRunning = 0;
}

// Every link that ends, lost or disconnected, ends here, once the comms thread has been
// told to stop: it publishes no block after this, so the front end drops what the link
// showed for good, and a save to the device that has not finished is told as failed.
void LinkEnded() {
  EndPmxPublishing();
  TellEepromSave(true);
  if (PmxLinkHooks.LinkEnded != nullptr) PmxLinkHooks.LinkEnded();
}

// Joins the comms thread once it has ended; never waits for it.
void JoinEndedCommsThread() {
  if (LinkState.LinkThread.joinable() && LinkState.LinkThreadEnded == 1) StopLinkThread();
}

// A link lost while connecting or connected: logged, and the machine shown disconnected
// rather than a dead "Connected". A thread held up in a device call closes the device
// once the call returns.
void LoseLink(const std::string& why) {
  frame::ReportMessage("Link", "Comms stopped", why);
  LinkState.StopThreads = 1;
  LinkState.Connected = 0;
  JoinEndedCommsThread();
  PmxLinkState.PmxLinkStep = 0;
  ShowDisconnected();
  LinkEnded();
}

// Step 1: the last link's thread may still be held up in a device call and so hold the
// device; the open waits for it, turn by turn, at most DeviceHeldWaitMs. True once the
// device is free.
bool DeviceLetGo(int64_t now) {
  PmxLinkStateRecord& link = PmxLinkState;
  if (!LinkThreadRunning()) {
    link.PmxHeldSince = 0;
    JoinEndedCommsThread();
    return true;
  }
  if (link.PmxHeldSince == 0) link.PmxHeldSince = now;
  if (now - link.PmxHeldSince > DeviceHeldWaitMs) {
    link.PmxHeldSince = 0;
    frame::ReportMessage("Error", "Power analyser busy",
                         "The power analyser's USB device is still held by the last connection, whose call to the "
                         "device has not returned. Try Connect again later, or unplug the power analyser and plug it "
                         "in again.");
    link.PmxStepTime = now;
    link.PmxLinkStep = 3;
  }
  return false;
}

// Step 5, once a turn: the EEPROM area is read by a link thread of its own, so the
// window answers meanwhile. A read that ends fills the file (or, failing, leaves it);
// a call held up past the watchdog's time is a failed read and a lost link. Returns the
// next step.
int32_t ReadCalibrationStep(int64_t now) {
  UsbEepromRunRecord& run = UsbEepromRead;
  if (run.State == EepromRunState::Idle) {
    if (LinkState.Connected != 1) return 6;  // nothing to read: the file stays
    if (UsbStartEepromRead(PmxEepromFirstWord, PmxEepromAreaWords)) return 5;
    ReportFailedEepromRead(PmxEepromFirstWord, FtDeviceNotOpened, false);
    return 6;
  }
  if (UsbEepromRunHeldUp(run, now, PmxReplyTimeoutMs) && UsbAbandonEepromRun(run)) {
    ReportFailedEepromRead(run.FirstAddress + static_cast<uint32_t>(run.WordsDone), FtOk, true);
    LoseLink("The device held up a call for " + std::to_string(PmxReplyTimeoutMs) +
             " ms while its calibration was read: the USB link was closed.");
    return 0;
  }
  if (LinkThreadRunning()) return 5;
  JoinEndedCommsThread();
  if (run.State == EepromRunState::Done) {
    PmxEepromArea words{};
    std::copy_n(run.Words, words.size(), words.begin());
    StoreDeviceCalibration(PmxCalibrationFile, words);
  } else if (run.State == EepromRunState::Failed) {
    ReportFailedEepromRead(run.FirstAddress + static_cast<uint32_t>(run.WordsDone), run.FailedStatus, false);
  }
  run.State = EepromRunState::Idle;
  return 6;
}

// Waits at most `ms` for the comms thread, told to stop, to end.
void AwaitCommsThreadEnd(int ms) {
  const int64_t start = platform::ElapsedMilliseconds();
  while (LinkThreadRunning() && platform::ElapsedMilliseconds() - start < ms) platform::Delay(1);
  JoinEndedCommsThread();
}

}  // namespace

bool PmxLinkReady() {
  return PmxLinkState.PmxLinkStep == 11 && LinkState.Connected == 1 && LinkThreadRunning();
}

void StepPowerAnalyserConnection() {
  PmxLinkStateRecord& link = PmxLinkState;
  const frame::UiCaptions& captions = frame::Captions;
  const int64_t now = platform::ElapsedMilliseconds();
  TellEepromSave(false);
  switch (link.PmxLinkStep) {
    case 0:
      ShowDisconnected();
      JoinEndedCommsThread();
      break;
    case 1:
      Show(captions.Connecting, "1: ");
      if (!DeviceLetGo(now)) break;
      LinkState.LastGoodFrameTime = now;
      OpenUsbLink(PmxBaud);
      link.PmxLinkStep = 2;
      break;
    case 2:
      Show(captions.Connecting, "2: ");
      link.PmxStepTime = now;
      link.PmxLinkStep = LinkState.Connected == 1 ? 4 : 3;
      break;
    case 3:
      Show("", "3: Bad USB start");
      if (Elapsed(now, BadStartShowMs)) link.PmxLinkStep = 0;
      break;
    case 4:
      Show(captions.Connecting, "4: Good USB start");
      UsbEepromRead.State = EepromRunState::Idle;  // no thread reads: step 1 saw to it
      link.PmxLinkStep = 5;
      break;
    case 5:
      Show(captions.Connecting, "5: Read CAL file");
      link.PmxLinkStep = ReadCalibrationStep(now);
      break;
    case 6:
      Show(captions.Connecting, "6: Transfer CAL file data to Constants");
      TransferCalFileToConstants(PmxCalibrationFile);
      // The new constants reach the conversion when the ranges are next applied: ask the
      // front end to apply the selected ones again.
      PmxRanges.PmxAppliedVoltageRange = 0.0;
      PmxRanges.PmxAppliedCurrentRange = 0.0;
      link.PmxLinkStep = 7;
      break;
    case 7: {
      Show(captions.Connecting, "7: Start the COMMS THREAD");
      link.PmxStepTime = now;
      bool started = false;
      if (LinkState.Connected == 1 && !LinkThreadRunning()) {
        // The watchdog counts from the thread's start, not from the open: reading the
        // EEPROM may have taken longer than its time-out.
        LinkState.LastGoodFrameTime = now;
        if (PmxLinkHooks.StreamStarting != nullptr) PmxLinkHooks.StreamStarting();
        started = StartLinkThread(PowerAnalyserCommsThread);
      }
      link.PmxLinkStep = started ? 8 : 9;
      break;
    }
    case 8:
      Show(captions.Connecting, "8: Comms Thread started");
      link.PmxLinkStep = 10;
      break;
    case 9:
      Show("", "9: Comms Thread Failed!");
      if (Elapsed(now, ThreadFailedShowMs)) {
        if (!LinkThreadRunning()) CloseUsbDevice();  // "Connect" means no device held open
        TellEepromSave(true);
        link.PmxLinkStep = 0;
      }
      break;
    case 10:
      Show(captions.Connecting, "10: Enable COMMS");
      link.PmxCommsEnable = "On";
      SendPowerAnalyserControl();
      link.PmxLinkStep = 11;
      break;
    case 11:
      if (LinkState.Connected != 1 || PmxLinkSilent(now)) {
        // The link is lost: no good frame in step for 500 ms, whether the stream fell
        // silent or never got back in step (the comms thread closed the link) or the
        // thread is held up in a device call (it closes the device once the call
        // returns).
        LoseLink("No good frame from the instrument for 500 ms: the USB link was closed.");
        break;
      }
      Show(captions.Connected,
           "11: " + std::to_string(PmxSampleRing.PmxWriteBlock.load()) + " buffer");
      link.PmxRunning = 1;
      break;
    case 100:
      Show(captions.Disconnecting, "100: Stop the connection");
      link.PmxStepTime = now;
      // The thread ends at its next look at the stop flag and closes the device; the
      // pause is its time to do so.
      LinkState.StopThreads = 1;
      AwaitCommsThreadEnd(DisconnectPauseMs);
      platform::CloseSerialPort(InstrumentSerialPort);
      LinkState.Connected = 0;
      if (!LinkThreadRunning()) CloseUsbDevice();  // a device no thread holds
      LinkEnded();
      link.PmxLinkStep = 101;
      break;
    case 101:
      Show(captions.Disconnecting, "101: Stopping the connection");
      JoinEndedCommsThread();
      if (Elapsed(now, StoppingShowMs)) link.PmxLinkStep = 0;
      break;
    default:
      break;
  }
}

}  // namespace zolt::link
