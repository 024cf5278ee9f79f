// The D2XX library calls, each looked up by name in library 26 at the moment it is made.
//
// A call whose function the library does not export (or made while the library is not
// loaded) is skipped and returns 0, which is also the library's "OK", where that is
// harmless: the device list and the settings change nothing the program relies on, a
// close without FT_Close has nothing more to do, and a stream without FT_Write,
// FT_GetStatus or FT_Read brings no good frame, which the watchdog tells as a lost link.
// FT_Open then answers FtDeviceNotOpened, since without it no device is open, and
// FT_ReadEE and FT_WriteEE answer FtNotInLibrary: an EEPROM of zeros read over the
// calibration file, or a save that never reached the device, must not pass as done.
//
// Integer arguments are passed as full-width unsigned longs and every count the library
// writes goes into a zeroed 8-byte cell, so the calls are sound whether the library's
// integer types are 32 or 64 bits wide; only the low 32 bits of a result or count are
// kept.
#pragma once

#include <cstdint>

namespace zolt::link {

constexpr uint32_t FtOk = 0;
constexpr uint32_t FtDeviceNotOpened = 3;
// The program's own status for a call whose function the library does not export; no
// status of the library has this value.
constexpr uint32_t FtNotInLibrary = 0xFFFFFFFFu;

uint32_t FtCreateDeviceInfoList(uint32_t* deviceCount);
uint32_t FtSetVidPid(uint32_t vendor, uint32_t product);
uint32_t FtOpen(int32_t deviceIndex, void** handle);
uint32_t FtSetBaudRate(void* handle, uint32_t baud);
uint32_t FtSetDataCharacteristics(void* handle, uint32_t dataBits, uint32_t stopBits,
                                  uint32_t parity);
uint32_t FtSetFlowControl(void* handle, uint32_t flow, uint32_t xon, uint32_t xoff);
uint32_t FtSetUsbParameters(void* handle, uint32_t inSize, uint32_t outSize);
uint32_t FtWrite(void* handle, const void* bytes, uint32_t count, uint32_t* written);
uint32_t FtGetStatus(void* handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* events);
uint32_t FtRead(void* handle, void* bytes, uint32_t count, uint32_t* read);
uint32_t FtReadEE(void* handle, uint32_t wordAddress, uint16_t* word);
uint32_t FtWriteEE(void* handle, uint32_t wordAddress, uint16_t word);
uint32_t FtClose(void* handle);

}  // namespace zolt::link
