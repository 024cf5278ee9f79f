// The power analyser's connection steps: one step per main-loop turn, so the screen shows
// each stage of a connection and a disconnection. Each step sets the connect control's
// caption and the numbered step line, does its work and names the next step.
//
//   step  caption         action                                              next
//   0     Connect         not running                                         (click: 1)
//   1     Connecting      open the USB device at 1,000,000 baud               2
//   2     Connecting      note the time                                       4 open, 3 not
//   3     (none)          "Bad USB start" for 2 s                             0
//   4     Connecting      -                                                   5
//   5     Connecting      EEPROM area into "PMX_cal.txt"                      6
//   6     Connecting      fit the ranges' constants; ranges to be applied     7
//   7     Connecting      start the comms thread                              8, or 9
//   8     Connecting      -                                                   10
//   9     (none)          "Comms Thread Failed!" for 1 s; close the device    0
//   10    Connecting      enable the stream (registers 1 and 2)               11
//   11    Connected       running; a lost link goes back to 0 with a log line (click: 100)
//   100   Disconnecting   stop the thread, which closes the device            101
//   101   Disconnecting   wait 2 s                                            0
//
// Step 7 tells the front end that a stream starts; a lost link (step 11) and a
// disconnection (step 100) tell it that the link ended (PmxLinkHooks).
//
// From step 7 the comms thread holds the device and closes it when it ends. The steps
// never wait for it longer than the disconnection's 100 ms pause: a thread held up in a
// device call ends (and is joined) once the call returns.
#include <string>

#include "frame/log.h"
#include "frame/translate.h"
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
// told to stop (it publishes no block after that): the front end drops what the link
// showed.
void LinkEnded() {
  if (PmxLinkHooks.LinkEnded != nullptr) PmxLinkHooks.LinkEnded();
}

// Joins the comms thread once it has ended; never waits for it.
void JoinEndedCommsThread() {
  if (LinkState.LinkThread.joinable() && LinkState.LinkThreadEnded == 1) StopLinkThread();
}

// Waits at most `ms` for the comms thread, told to stop, to end.
void AwaitCommsThreadEnd(int ms) {
  const int64_t start = platform::ElapsedMilliseconds();
  while (LinkThreadRunning() && platform::ElapsedMilliseconds() - start < ms) platform::Delay(1);
  JoinEndedCommsThread();
}

}  // namespace

void StepPowerAnalyserConnection() {
  PmxLinkStateRecord& link = PmxLinkState;
  const frame::UiCaptions& captions = frame::Captions;
  const int64_t now = platform::ElapsedMilliseconds();
  switch (link.PmxLinkStep) {
    case 0:
      ShowDisconnected();
      JoinEndedCommsThread();
      break;
    case 1:
      Show(captions.Connecting, "1: ");
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
      link.PmxLinkStep = 5;
      break;
    case 5:
      Show(captions.Connecting, "5: Read CAL file");
      SaveEepromToFile(PmxCalibrationFile);
      link.PmxLinkStep = 6;
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
        CloseUsbDevice();  // "Connect" means no device held open
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
        // returns). Say so and show the machine disconnected rather than a dead
        // "Connected".
        frame::ReportMessage("Link", "Comms stopped",
                             "No good frame from the instrument for 500 ms: the USB link was closed.");
        LinkState.StopThreads = 1;
        LinkState.Connected = 0;
        JoinEndedCommsThread();
        link.PmxLinkStep = 0;
        ShowDisconnected();
        LinkEnded();
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
