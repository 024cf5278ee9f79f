// The COM port page: the curve tracer's port, either picked from the ports a scan could
// open (method 1) or chosen by hand from COM 1 to COM 99 (method 2).
//
// The scan probes one port per few passes of the window's loop, in the serial slot of
// the curve tracer's link. A link that holds the slot gives it up to the first probe
// that opens: the reader is stopped and joined before its port is closed, so it never
// meets a closed or reused port. A port the link holds is held exclusively, so its probe
// fails while the link still has it.
//
// Sections: set-up; saving a port; the scan; the page.
#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "link/link_state.h"
#include "platform/gui.h"
#include "platform/system.h"
#include "settingswindow/page_comms.h"
#include "settingswindow/pages.h"
#include "settingswindow/settings_window.h"

namespace zolt::settingswindow {

namespace {

constexpr int LastPort = 99;

std::string PortText(int32_t port) { return "COM " + std::to_string(port); }

void Field(int32_t field, const std::string& text) { platform::SetGadgetText(field, text); }

// ---- set-up ----

void Setup() {
  const int w = SettingsWindowNumber;
  const int x = ControlColumn;
  const auto label = [](int row, const char* text) { AddLabel(row, frame::Translate(text) + " --->"); };
  AddHeading(24, frame::Translate(
                     "Scan for available COM ports, select from drop-down menu and update (Method 1)"));
  label(48, "COM port is currently set to");
  platform::StringGadget(ComCurrentField, w, x, 48, 96, RowHeight, "", platform::GadgetReadOnly);
  label(72, "1. Press button to scan for available COM ports");
  platform::ButtonGadget(ComScanButton, w, x, 72, 96, RowHeight, frame::Translate("Scan"));
  platform::StringGadget(ComScanStatusField, w, x, 96, 216, RowHeight, "", platform::GadgetReadOnly);
  platform::StringGadget(ComScanPortField, w, 528, 96, 96, RowHeight, "", platform::GadgetReadOnly);
  label(120, "2. Available COM ports found (drop-down)");
  platform::ComboBoxGadget(ComFoundList, w, x, 120, 216, RowHeight);
  label(144, "3. Select COM port from list above, then press");
  platform::ButtonGadget(ComFoundSaveButton, w, x, 144, 96, RowHeight, frame::Translate("Update + Save"));
  AddHeading(192, frame::Translate("...or manually select COM port and update (Method 2)"));
  label(216, "COM port is currently set to");
  platform::StringGadget(ComManualCurrentField, w, x, 216, 96, RowHeight, "", platform::GadgetReadOnly);
  label(240, "1. COM ports (drop-down)");
  platform::ComboBoxGadget(ComAllList, w, x, 240, 216, RowHeight);
  label(264, "2. Select COM port from list above, then press");
  platform::ButtonGadget(ComManualSaveButton, w, x, 264, 96, RowHeight, frame::Translate("Update + Save"));

  platform::AddGadgetItem(ComFoundList, frame::Translate("nothing selected - scan first"));
  for (int32_t port = 1; port <= LastPort; ++port) platform::AddGadgetItem(ComAllList, PortText(port));
  Field(ComCurrentField, PortText(frame::AppSettings.ComPort));
  Field(ComManualCurrentField, PortText(frame::AppSettings.ComPort));
  ComScan.ComScanStep = 0;
}

// ---- saving a port ----

// The port number in a list entry: "COM " removed wherever it stands (any letter case),
// then the leading number; 0 when there is none.
int32_t PortOfEntry(std::string text) {
  for (size_t at = frame::ToLower(text).find("com "); at != std::string::npos;
       at = frame::ToLower(text).find("com "))
    text.erase(at, 4);
  return static_cast<int32_t>(frame::ParseInteger(text));
}

void SavePortOf(int32_t list) {
  ComScan.ComScanStep = 0;
  const int32_t port = PortOfEntry(platform::GetGadgetText(list));
  if (port < 1 || port > LastPort) return;
  frame::AppSettings.ComPort = port;
  Field(ComCurrentField, PortText(port));
  Field(ComManualCurrentField, PortText(port));
  frame::WriteKeyValue(frame::SettingsPath, "KVR_ComPort", std::to_string(port));
}

// ---- the scan ----

// The link uses its slot while connected; a reader whose link is down (watchdog, lost
// device) does not touch the port and goes on with its next connection.
bool LinkHoldsSlot() {
  return link::LinkState.Connected == 1 || platform::IsSerialPortOpen(link::InstrumentSerialPort);
}

void ReleaseLink() {
  if (ReleaseInstrumentLink != nullptr) {
    ReleaseInstrumentLink();
  } else {
    link::StopLinkThread();
    link::CloseInstrumentComPort();
  }
}

// Opens the port in the link's slot and closes it again; true when it opened.
bool Probe(int32_t port) {
  const std::string name = "COM" + std::to_string(port);
  if (LinkHoldsSlot()) {
    // A probe that fails must leave the link's port alone: try the port beside it first.
    if (platform::IsSerialPortOpen(link::InstrumentSerialPort)) {
      if (!platform::OpenSerialPort(ProbeTrialPort, name, link::InstrumentBaud)) return false;
      platform::CloseSerialPort(ProbeTrialPort);
    }
    ReleaseLink();
  }
  const bool opened = platform::OpenSerialPort(link::InstrumentSerialPort, name, link::InstrumentBaud);
  platform::CloseSerialPort(link::InstrumentSerialPort);
  return opened;
}

void ScanStep() {
  ComScanRecord& scan = ComScan;
  switch (scan.ComScanStep) {
    case 1:
      scan.ComScanPort = 1;
      Field(ComScanStatusField, "Setting up COM port scanning...");
      Field(ComScanPortField, "");
      platform::ClearGadgetItems(ComFoundList);
      scan.ComScanStep = 2;
      break;
    case 2:
      platform::Delay(scan.StartPauseMs);
      scan.ComScanStep = 3;
      break;
    case 3:
      Field(ComScanStatusField, "Attempting to open...");
      Field(ComScanPortField, PortText(scan.ComScanPort));
      scan.ComScanStep = 4;
      break;
    case 4:
      platform::Delay(scan.ProbePauseMs);
      scan.ComScanStep = 5;
      break;
    case 5:
      if (Probe(scan.ComScanPort)) {
        Field(ComScanStatusField, "...Successfully opened:");
        platform::AddGadgetItem(ComFoundList, PortText(scan.ComScanPort));
        platform::SetGadgetState(ComFoundList, 0);
      } else {
        Field(ComScanStatusField, "...Failed to open:");
      }
      Field(ComScanPortField, PortText(scan.ComScanPort));
      scan.ComScanStep = 6;
      break;
    case 6:
      platform::Delay(scan.NextPauseMs);
      ++scan.ComScanPort;
      scan.ComScanStep = scan.ComScanPort > LastPort ? 7 : 3;
      break;
    case 7:
      Field(ComScanStatusField, "...scanning now complete");
      Field(ComScanPortField, "");
      scan.ComScanStep = 0;
      break;
    default:
      break;
  }
}

}  // namespace

// ---- the page ----

void SettingsPageComms(const std::string& mode, int32_t control) {
  switch (ModeOf(mode)) {
    case PageMode::Setup: Setup(); break;
    case PageMode::MainLogic: ScanStep(); break;
    case PageMode::EventGadget:
      if (control == ComScanButton) ComScan.ComScanStep = 1;
      if (control == ComFoundSaveButton) SavePortOf(ComFoundList);
      if (control == ComManualSaveButton) SavePortOf(ComAllList);
      break;
    default: break;
  }
}

}  // namespace zolt::settingswindow
