// The two transports (the curve tracer's COM port 27 and the power analyser's USB device
// through the D2XX library) and the one link thread that serves whichever is open.
#include <string>

#include "frame/log.h"
#include "frame/settings.h"
#include "link/control_block.h"
#include "link/d2xx.h"
#include "link/link_state.h"
#include "link/usb_device.h"
#include "platform/system.h"

namespace zolt::link {

namespace {
constexpr uint32_t UsbVendorId = 0x0403;
constexpr uint32_t UsbProductId = 0x6015;
constexpr uint32_t UsbTransferBytes = 32768;
const char* const UsbLibraryFile = "libftd2xx.so";
}  // namespace

// ---- USB device ----

void OpenUsbLink(int32_t baud) {
  if (!platform::IsLibrary(UsbLibraryNumber) &&
      !platform::OpenLibrary(UsbLibraryNumber, UsbLibraryFile)) {
    frame::ReportMessage("Error", "FTD2XX.DLL", "FTD2XX.DLL failed to open.");
    LinkState.Connected = 0;
    return;
  }
  uint32_t devices = 0;
  FtCreateDeviceInfoList(&devices);
  FtSetVidPid(UsbVendorId, UsbProductId);
  FtCreateDeviceInfoList(&devices);

  void* handle = nullptr;
  // A library without FT_Open, or one that answers OK with no handle, opened nothing.
  if (FtOpen(0, &handle) != FtOk || handle == nullptr) {
    frame::ReportMessage("ERROR", "USB/COM service unable to start",
                         "Check instrument is connected via USB and COM port number is correct.");
    return;
  }
  std::lock_guard lock(UsbDeviceMutex);
  LinkState.UsbHandle = handle;
  ++LinkState.UsbOpening;
  // The device's answers to its configuration are not checked: a device that rejects one
  // stays open.
  FtSetBaudRate(handle, static_cast<uint32_t>(baud));
  FtSetDataCharacteristics(handle, 8, 0, 0);
  FtSetFlowControl(handle, 0, 0, 0);
  FtSetUsbParameters(handle, UsbTransferBytes, UsbTransferBytes);
  LinkState.Connected = 1;
  LinkState.LastGoodFrameTime = platform::ElapsedMilliseconds();
}

void CloseUsbLink() {
  if (!CloseUsbDevice()) frame::ReportMessage("Info", "Comms not running", "Comms not running..");
}

// ---- COM port ----

int32_t OpenInstrumentComPort() {
  const std::string name = "COM" + std::to_string(frame::AppSettings.ComPort);
  if (!platform::OpenSerialPort(InstrumentSerialPort, name, InstrumentBaud)) {
    LinkState.Connected = 0;
    frame::ReportMessage(
        "ERROR", "USB/COM service unable to start",
        "Check KVR820 instrument is connected via USB and COM port number is correct.");
    return 0;
  }
  const int64_t now = platform::ElapsedMilliseconds();
  LinkState.CtHeldBytes = 0;  // nothing from an earlier connection is read as a frame
  LinkState.CtSkippedBytes = 0;
  LinkState.LostLinkLastBlock = LostLinkNoBlock;
  LinkState.LastPollTime = now;
  LinkState.LastGoodFrameTime = now;
  LinkState.Connected = 1;
  ArmHighVoltageOffBlock();
  return 1;
}

void CloseInstrumentComPort() {
  // Closed even when it no longer counts as open: a port whose device vanished still
  // holds its descriptor until it is closed.
  platform::DisarmEmergencyBlock();
  platform::CloseSerialPort(InstrumentSerialPort);
  LinkState.Connected = 0;
}

}  // namespace zolt::link
