// The USB device's calls, each under UsbDeviceMutex, the writes handed to the comms
// thread and the EEPROM runs (see usb_device.h).
#include "link/usb_device.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <vector>

#include "frame/log.h"
#include "link/d2xx.h"
#include "link/link_state.h"
#include "platform/system.h"

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

uint32_t UsbWriteEepromWord(uint32_t address, uint16_t word) {
  std::lock_guard lock(UsbDeviceMutex);
  if (LinkState.Connected != 1) return FtDeviceNotOpened;
  return FtWriteEE(LinkState.UsbHandle, address, word);
}

namespace {

// Ends a run that is still running as `end`; a run the main thread abandoned stays so.
void FinishRun(UsbEepromRunRecord& run, EepromRunState end) {
  EepromRunState running = EepromRunState::Running;
  run.State.compare_exchange_strong(running, end);
}

// The words of UsbEepromWrite still to be written, each read back, until the run ends or
// `budgetMs` has been spent, so the comms thread's frames keep coming.
void MakeEepromWrites(int budgetMs) {
  UsbEepromRunRecord& run = UsbEepromWrite;
  const int64_t start = platform::ElapsedMilliseconds();
  while (run.State == EepromRunState::Running) {
    const int32_t i = run.WordsDone;
    if (i >= run.Count) {
      FinishRun(run, EepromRunState::Done);
      return;
    }
    if (platform::ElapsedMilliseconds() - start > budgetMs) return;
    const uint32_t address = run.FirstAddress + static_cast<uint32_t>(i);
    uint16_t back = 0;
    const uint32_t written = UsbWriteEepromWord(address, run.Words[i]);
    const uint32_t read = written == FtOk ? UsbReadEepromWord(address, back) : FtOk;
    run.LastAnswer = platform::ElapsedMilliseconds();
    if (written != FtOk || read != FtOk || back != run.Words[i]) {
      run.FailedStatus = written != FtOk ? written : read;
      run.FailedOnWrite = written != FtOk;
      run.ReadBack = back;
      FinishRun(run, EepromRunState::Failed);
      return;
    }
    run.WordsDone = i + 1;
  }
}

// Each pass of the comms thread spends at most this on handed EEPROM words.
constexpr int EepromWritesPerPassMs = 10;

}  // namespace

// ---- writes handed to the comms thread ----

void UsbTakeHandedWrites(bool on) {
  TakesHandedWrites = on;
  std::lock_guard lock(HandedWrites.Lock);
  HandedWrites.On = on;
  if (!on) HandedWrites.Count = 0;
}

namespace {

// The writes queued, in order.
void MakeQueuedWrites() {
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

}  // namespace

void UsbMakeHandedWrites() {
  MakeEepromWrites(EepromWritesPerPassMs);
  MakeQueuedWrites();
}

void UsbAwaitHandedWrites(int ms) {
  std::unique_lock lock(HandedWrites.Lock);
  HandedWrites.Queued.wait_for(lock, std::chrono::milliseconds(ms), [] {
    return HandedWrites.Count > 0 || UsbEepromWrite.State == EepromRunState::Running;
  });
}

// ---- EEPROM runs ----

namespace {

void StartRun(UsbEepromRunRecord& run, uint32_t first, int32_t count) {
  run.FirstAddress = first;
  run.Count = count < MaxEepromRunWords ? count : MaxEepromRunWords;
  run.WordsDone = 0;
  run.FailedStatus = FtOk;
  run.FailedOnWrite = false;
  run.ReadBack = 0;
  run.LastAnswer = platform::ElapsedMilliseconds();
}

int EepromReadThread(void*) {
  UsbEepromRunRecord& run = UsbEepromRead;
  const uint32_t opening = UsbOpening();
  UsbTakeHandedWrites(true);
  for (int32_t i = 0; i < run.Count && run.State == EepromRunState::Running; ++i) {
    uint16_t word = 0;
    const uint32_t status = UsbReadEepromWord(run.FirstAddress + static_cast<uint32_t>(i), word);
    run.LastAnswer = platform::ElapsedMilliseconds();
    if (status != FtOk) {
      run.FailedStatus = status;
      FinishRun(run, EepromRunState::Failed);
      break;
    }
    run.Words[i] = word;
    run.WordsDone = i + 1;
    MakeQueuedWrites();  // never a save's words: they would mix with the words read
  }
  FinishRun(run, EepromRunState::Done);
  // Writes handed after the last word are dropped (the connection sends both control
  // registers afresh once its stream is enabled): no device call follows the run's end,
  // so the thread ends as soon as the run does.
  UsbTakeHandedWrites(false);
  // The connection gave up on a call held up in the device: the device is released here,
  // once that call has returned.
  if (run.State == EepromRunState::Abandoned) CloseUsbDevice(opening);
  return 0;
}

}  // namespace

bool UsbStartEepromRead(uint32_t first, int32_t count) {
  UsbEepromRunRecord& run = UsbEepromRead;
  StartRun(run, first, count);
  run.State = EepromRunState::Running;
  if (StartLinkThread(EepromReadThread)) return true;
  run.State = EepromRunState::Idle;
  return false;
}

void UsbWriteEeprom(uint32_t first, const uint16_t* words, int32_t count) {
  UsbEepromRunRecord& run = UsbEepromWrite;
  StartRun(run, first, count);
  std::copy(words, words + run.Count, run.Words);
  std::lock_guard lock(HandedWrites.Lock);
  run.State = EepromRunState::Running;
  HandedWrites.Queued.notify_one();
}

bool UsbEepromRunHeldUp(const UsbEepromRunRecord& run, int64_t now, int ms) {
  return run.State == EepromRunState::Running && now > run.LastAnswer + ms;
}

bool UsbAbandonEepromRun(UsbEepromRunRecord& run) {
  EepromRunState running = EepromRunState::Running;
  return run.State.compare_exchange_strong(running, EepromRunState::Abandoned);
}

}  // namespace zolt::link
