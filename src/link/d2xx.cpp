// The D2XX library calls: each is looked up by name when called (see d2xx.h).
#include "link/d2xx.h"


#include "link/link_state.h"
#include "platform/system.h"

namespace zolt::link {

namespace {

using Word = unsigned long;  // wide enough for the library's DWORD / ULONG either way

// Low 32 bits of a result or of a count cell (the cell is zeroed before the call).
uint32_t Low32(uint64_t value) { return static_cast<uint32_t>(value & 0xFFFFFFFFu); }

template <typename Function>
Function Lookup(const char* name) {
  return reinterpret_cast<Function>(platform::LibraryFunction(UsbLibraryNumber, name));
}

}  // namespace

uint32_t FtCreateDeviceInfoList(uint32_t* deviceCount) {
  auto call = Lookup<Word (*)(uint64_t*)>("FT_CreateDeviceInfoList");
  if (call == nullptr) return FtOk;
  uint64_t cell = 0;
  const uint32_t result = Low32(call(&cell));
  if (deviceCount != nullptr) *deviceCount = Low32(cell);
  return result;
}

uint32_t FtSetVidPid(uint32_t vendor, uint32_t product) {
  auto call = Lookup<Word (*)(Word, Word)>("FT_SetVIDPID");
  if (call == nullptr) return FtOk;
  return Low32(call(vendor, product));
}

uint32_t FtOpen(int32_t deviceIndex, void** handle) {
  auto call = Lookup<Word (*)(int, void**)>("FT_Open");
  if (call == nullptr) return FtDeviceNotOpened;  // nothing can be opened without it
  void* opened = nullptr;
  const uint32_t result = Low32(call(deviceIndex, &opened));
  if (handle != nullptr) *handle = opened;
  return result;
}

uint32_t FtSetBaudRate(void* handle, uint32_t baud) {
  auto call = Lookup<Word (*)(void*, Word)>("FT_SetBaudRate");
  if (call == nullptr) return FtOk;
  return Low32(call(handle, baud));
}

uint32_t FtSetDataCharacteristics(void* handle, uint32_t dataBits, uint32_t stopBits,
                                  uint32_t parity) {
  auto call = Lookup<Word (*)(void*, Word, Word, Word)>("FT_SetDataCharacteristics");
  if (call == nullptr) return FtOk;
  return Low32(call(handle, dataBits, stopBits, parity));
}

uint32_t FtSetFlowControl(void* handle, uint32_t flow, uint32_t xon, uint32_t xoff) {
  auto call = Lookup<Word (*)(void*, Word, Word, Word)>("FT_SetFlowControl");
  if (call == nullptr) return FtOk;
  return Low32(call(handle, flow, xon, xoff));
}

uint32_t FtSetUsbParameters(void* handle, uint32_t inSize, uint32_t outSize) {
  auto call = Lookup<Word (*)(void*, Word, Word)>("FT_SetUSBParameters");
  if (call == nullptr) return FtOk;
  return Low32(call(handle, inSize, outSize));
}

uint32_t FtWrite(void* handle, const void* bytes, uint32_t count, uint32_t* written) {
  auto call = Lookup<Word (*)(void*, const void*, Word, uint64_t*)>("FT_Write");
  if (call == nullptr) return FtOk;
  uint64_t cell = 0;
  const uint32_t result = Low32(call(handle, bytes, count, &cell));
  if (written != nullptr) *written = Low32(cell);
  return result;
}

uint32_t FtGetStatus(void* handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* events) {
  auto call = Lookup<Word (*)(void*, uint64_t*, uint64_t*, uint64_t*)>("FT_GetStatus");
  if (call == nullptr) return FtOk;
  uint64_t rx = 0, tx = 0, ev = 0;
  const uint32_t result = Low32(call(handle, &rx, &tx, &ev));
  if (rxBytes != nullptr) *rxBytes = Low32(rx);
  if (txBytes != nullptr) *txBytes = Low32(tx);
  if (events != nullptr) *events = Low32(ev);
  return result;
}

uint32_t FtRead(void* handle, void* bytes, uint32_t count, uint32_t* read) {
  auto call = Lookup<Word (*)(void*, void*, Word, uint64_t*)>("FT_Read");
  if (call == nullptr) return FtOk;
  uint64_t cell = 0;
  const uint32_t result = Low32(call(handle, bytes, count, &cell));
  if (read != nullptr) *read = Low32(cell);
  return result;
}

uint32_t FtReadEE(void* handle, uint32_t wordAddress, uint16_t* word) {
  auto call = Lookup<Word (*)(void*, Word, uint64_t*)>("FT_ReadEE");
  if (call == nullptr) return FtNotInLibrary;
  uint64_t cell = 0;
  const uint32_t result = Low32(call(handle, wordAddress, &cell));
  if (word != nullptr) *word = static_cast<uint16_t>(cell & 0xFFFFu);
  return result;
}

uint32_t FtWriteEE(void* handle, uint32_t wordAddress, uint16_t word) {
  auto call = Lookup<Word (*)(void*, Word, Word)>("FT_WriteEE");
  if (call == nullptr) return FtNotInLibrary;
  return Low32(call(handle, wordAddress, word));
}

uint32_t FtClose(void* handle) {
  auto call = Lookup<Word (*)(void*)>("FT_Close");
  if (call == nullptr) return FtOk;
  return Low32(call(handle));
}

}  // namespace zolt::link
