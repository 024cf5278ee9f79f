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
#pragma once

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
// One EEPROM word written; false when not connected.
bool UsbWriteEepromWord(uint32_t address, uint16_t word);

// ---- writes handed to the comms thread ----

constexpr int MaxHandedWrites = 64;

// Comms thread: from now on it takes the other threads' writes (true), or no longer
// (false: writes still queued are dropped, as the link is ending).
void UsbTakeHandedWrites(bool on);
// Comms thread: makes the writes handed to it, in the order they were queued.
void UsbMakeHandedWrites();
// Comms thread: sleeps up to `ms`, waking as soon as a write is handed to it.
void UsbAwaitHandedWrites(int ms);

}  // namespace zolt::link
