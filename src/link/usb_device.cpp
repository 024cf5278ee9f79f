// The USB device's calls, each under UsbDeviceMutex, and the writes handed to the comms
// thread (see usb_device.h).
#include "link/usb_device.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <vector>

#include "frame/log.h"
#include "link/d2xx.h"
#include "link/link_state.h"

namespace zolt::link {

namespace {

// Writes queued for the comms thread. Its lock is held only to queue or take writes,
// never across a device call.
struct HandedWritesRecord {
  std::mutex Lock;
  std::condition_variable Queued;
  bool On = false;
  uint8_t Bytes[LinkBufferBytes] = {};
  uint32_t Ends[MaxHandedWrites] = {};  // end of each write in Bytes
  int Count = 0;
};

HandedWritesRecord HandedWrites;

// True in the thread that takes the handed writes.
thread_local bool TakesHandedWrites = false;

bool WriteNow(const void* bytes, uint32_t count) {
  std::lock_guard lock(UsbDeviceMutex);
  if (LinkState.Connected != 1) return false;
  uint32_t written = 0;
  FtWrite(LinkState.UsbHandle, bytes, count, &written);
  return true;
}

enum class Handing { NotHanded, Queued, Dropped };

Handing HandToCommsThread(const void* bytes, uint32_t count) {
  HandedWritesRecord& h = HandedWrites;
  std::lock_guard lock(h.Lock);
  if (!h.On) return Handing::NotHanded;
  const uint32_t used = h.Count > 0 ? h.Ends[h.Count - 1] : 0;
  if (h.Count == MaxHandedWrites || count > LinkBufferBytes - used) return Handing::Dropped;
  std::memcpy(h.Bytes + used, bytes, count);
  h.Ends[h.Count++] = used + count;
  h.Queued.notify_one();
  return Handing::Queued;
}

// Under UsbDeviceMutex.
bool CloseHeld() {
  if (LinkState.UsbHandle == nullptr) return false;
  FtClose(LinkState.UsbHandle);
  LinkState.UsbHandle = nullptr;
  LinkState.Connected = 0;
  return true;
}

}  // namespace

bool CloseUsbDevice() {
  std::lock_guard lock(UsbDeviceMutex);
  return CloseHeld();
}

uint32_t UsbOpening() {
  std::lock_guard lock(UsbDeviceMutex);
  return LinkState.UsbOpening;
}

bool CloseUsbDevice(uint32_t opening) {
  std::lock_guard lock(UsbDeviceMutex);
  return LinkState.UsbOpening == opening && CloseHeld();
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
  if (LinkState.Connected != 1) return false;
  if (!TakesHandedWrites) {
    switch (HandToCommsThread(bytes, count)) {
      case Handing::Queued:
        return true;
      case Handing::Dropped:
        frame::ReportMessage("Link", "USB write dropped",
                             "The comms thread has not taken the writes handed to it.");
        return false;
      case Handing::NotHanded:
        break;
    }
  }
  return WriteNow(bytes, count);
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

// ---- writes handed to the comms thread ----

void UsbTakeHandedWrites(bool on) {
  TakesHandedWrites = on;
  std::lock_guard lock(HandedWrites.Lock);
  HandedWrites.On = on;
  if (!on) HandedWrites.Count = 0;
}

void UsbMakeHandedWrites() {
  HandedWritesRecord& h = HandedWrites;
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> ends;
  {
    std::lock_guard lock(h.Lock);
    if (h.Count == 0) return;
    bytes.assign(h.Bytes, h.Bytes + h.Ends[h.Count - 1]);
    ends.assign(h.Ends, h.Ends + h.Count);
    h.Count = 0;
  }
  uint32_t start = 0;
  for (const uint32_t end : ends) {
    WriteNow(bytes.data() + start, end - start);
    start = end;
  }
}

void UsbAwaitHandedWrites(int ms) {
  std::unique_lock lock(HandedWrites.Lock);
  HandedWrites.Queued.wait_for(lock, std::chrono::milliseconds(ms),
                               [] { return HandedWrites.Count > 0; });
}

}  // namespace zolt::link
