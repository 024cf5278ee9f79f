// The power analyser's USB device as the main thread and the comms thread share it.
//
// Every call on the open device is made under UsbDeviceMutex, with Connected checked
// inside the lock: a close in one thread never takes the handle from under a call in the
// other, and each write (a poll, a control register) goes out whole, never interleaved
// with another. Every call here may come from either thread.
#pragma once

#include <cstdint>
#include <mutex>

namespace zolt::link {

inline std::mutex UsbDeviceMutex;

// Closes the device and clears Connected; false when it was not open.
bool CloseUsbDevice();

// Bytes waiting to be read; 0 when not connected.
uint32_t UsbBytesWaiting();
// Reads `count` bytes that are waiting; the number read, 0 when not connected.
uint32_t UsbRead(void* bytes, uint32_t count);
// One write of the bytes; false when not connected.
bool UsbWrite(const void* bytes, uint32_t count);
// One EEPROM word through LinkState.EepromWordBuffer: the library's status (FtOk when the
// word was read), or FtDeviceNotOpened when not connected.
uint32_t UsbReadEepromWord(uint32_t address, uint16_t& word);
// One EEPROM word written; false when not connected.
bool UsbWriteEepromWord(uint32_t address, uint16_t word);

}  // namespace zolt::link
