// The USB device's calls, each under UsbDeviceMutex (see usb_device.h).
#include "link/usb_device.h"

#include "link/d2xx.h"
#include "link/link_state.h"

namespace zolt::link {

bool CloseUsbDevice() {
  std::lock_guard lock(UsbDeviceMutex);
  if (LinkState.Connected != 1) return false;
  FtClose(LinkState.UsbHandle);
  LinkState.UsbHandle = nullptr;
  LinkState.Connected = 0;
  return true;
}

uint32_t UsbBytesWaiting() {
  std::lock_guard lock(UsbDeviceMutex);
  if (LinkState.Connected != 1) return 0;
  uint32_t rx = 0, tx = 0, events = 0;
  FtGetStatus(LinkState.UsbHandle, &rx, &tx, &events);
  return rx;
}

uint32_t UsbRead(void* bytes, uint32_t count) {
  std::lock_guard lock(UsbDeviceMutex);
  if (LinkState.Connected != 1) return 0;
  uint32_t got = 0;
  FtRead(LinkState.UsbHandle, bytes, count, &got);
  return got;
}

bool UsbWrite(const void* bytes, uint32_t count) {
  std::lock_guard lock(UsbDeviceMutex);
  if (LinkState.Connected != 1) return false;
  uint32_t written = 0;
  FtWrite(LinkState.UsbHandle, bytes, count, &written);
  return true;
}

uint32_t UsbReadEepromWord(uint32_t address, uint16_t& word) {
  std::lock_guard lock(UsbDeviceMutex);
  if (LinkState.Connected != 1) return FtDeviceNotOpened;
  LinkState.EepromWordBuffer[0] = 0;
  const uint32_t status = FtReadEE(LinkState.UsbHandle, address, &LinkState.EepromWordBuffer[0]);
  word = LinkState.EepromWordBuffer[0];
  return status;
}

bool UsbWriteEepromWord(uint32_t address, uint16_t word) {
  std::lock_guard lock(UsbDeviceMutex);
  if (LinkState.Connected != 1) return false;
  FtWriteEE(LinkState.UsbHandle, address, word);
  return true;
}

}  // namespace zolt::link
