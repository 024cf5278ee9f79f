// The power analyser's USB device as the main thread and the comms thread share it.
//
// Every call on the open device is made under UsbDeviceMutex: a close in one thread never
// takes the handle from under a call in the other, and each write (a poll, a control
// register) goes out whole, never interleaved with another. Reads, writes and EEPROM
// calls check Connected inside the lock; the close looks at the handle alone, so a device
// whose link was declared lost while a call was still running is still released.
//
// While the comms thread holds the device, a write from any other thread (the control
// registers from the main thread) is handed to it: queued in order and made by the comms
// thread at its next pass, so the main thread never waits behind a device call that has
// stalled. The queue takes LinkBufferBytes in at most MaxHandedWrites writes.
//
// EEPROM words are read and written word by word by a thread that holds the device, for
// the same reason: the area read at connection by a link thread of its own, words
// written (a save) handed to the comms thread, which writes each and reads it back
// between its other work. The main thread watches the run's record.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace zolt::link {

inline std::mutex UsbDeviceMutex;

// Closes the device when it is open and clears Connected; false when it was not open.
bool CloseUsbDevice();
// The number of the device's present opening (each open counts one more).
uint32_t UsbOpening();
// Closes the device only while it is still the opening `opening`, so a thread that held
// an earlier opening never closes a later one.
bool CloseUsbDevice(uint32_t opening);

// Bytes waiting to be read; 0 when not connected.
uint32_t UsbBytesWaiting();
// Reads `count` bytes that are waiting; the number read, 0 when not connected.
uint32_t UsbRead(void* bytes, uint32_t count);
// One write of the bytes (handed to the comms thread while it holds the device); false
// when not connected or when it could not be queued.
bool UsbWrite(const void* bytes, uint32_t count);
// One EEPROM word through LinkState.EepromWordBuffer: the library's status (FtOk when the
// word was read), or FtDeviceNotOpened when not connected.
uint32_t UsbReadEepromWord(uint32_t address, uint16_t& word);
// One EEPROM word written: the library's status, or FtDeviceNotOpened when not connected.
uint32_t UsbWriteEepromWord(uint32_t address, uint16_t word);

// ---- writes handed to the comms thread ----

constexpr int MaxHandedWrites = 64;

// Comms thread: from now on it takes the other threads' writes (true), or no longer
// (false: writes still queued are dropped, as the link is ending).
void UsbTakeHandedWrites(bool on);
// Comms thread: makes the writes handed to it, in the order they were queued, and a
// part of the EEPROM words handed to it.
void UsbMakeHandedWrites();
// Comms thread: sleeps up to `ms`, waking as soon as a write is handed to it; not at
// all while EEPROM words handed to it are still to be written.
void UsbAwaitHandedWrites(int ms);

// ---- EEPROM runs ----

constexpr int MaxEepromRunWords = 1024;

enum class EepromRunState : int32_t { Idle, Running, Done, Failed, Abandoned };

// One run of EEPROM words. The main thread fills it and sets Running; the thread making
// the run sets Done or Failed (after the fields it fills); the main thread may set
// Abandoned instead, after which the thread leaves the run at its next word.
struct UsbEepromRunRecord {
  std::atomic<EepromRunState> State{EepromRunState::Idle};
  uint32_t FirstAddress = 0;
  int32_t Count = 0;
  uint16_t Words[MaxEepromRunWords] = {};  // read: filled word by word; written: the words to write
  std::atomic<int32_t> WordsDone{0};       // words read, or written and read back alike
  std::atomic<int64_t> LastAnswer{0};      // ms clock when the last call returned, or the run began
  uint32_t FailedStatus = 0;  // the failing call's status (FtOk: a word read back otherwise)
  bool FailedOnWrite = false; // the failing call was the write, not its read-back
  uint16_t ReadBack = 0;      // the word read back
};

inline UsbEepromRunRecord UsbEepromRead;   // the area read at connection
inline UsbEepromRunRecord UsbEepromWrite;  // a save

// Main thread, with no link thread there: reads `count` words from `first` into
// UsbEepromRead in a link thread of its own, which takes the handed writes meanwhile
// and ends with the run; when the run was abandoned it closes the device first. False
// when the thread could not be started.
bool UsbStartEepromRead(uint32_t first, int32_t count);
// Main thread, while the comms thread holds the device: writes `count` words from
// `first` and reads each back, through UsbEepromWrite, handed to the comms thread. Should
// the thread end first, the run stays running until the main thread abandons it.
void UsbWriteEeprom(uint32_t first, const uint16_t* words, int32_t count);
// True while the run is running and its call has been held up for longer than `ms`.
bool UsbEepromRunHeldUp(const UsbEepromRunRecord& run, int64_t now, int ms);
// Main thread: abandons a run that is still running; true when it was running.
bool UsbAbandonEepromRun(UsbEepromRunRecord& run);

}  // namespace zolt::link
