// Test support: a small D2XX-compatible library ("libftd2xx.so") that records its calls
// and the bytes of every write. FT_Open answers with the number in the environment
// variable FAKE_FT_OPEN_RESULT (default 3, a device that cannot be opened). FT_Read and
// FT_WriteEE are left out on purpose: the program must treat a missing function as
// result 0. Calls may come from several threads.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {
std::mutex Lock;
std::string CallLog;
std::string CallLogCopy;  // what FakeD2xxCallLog hands out
std::string Writes;       // each write's bytes in hex, ended by ';'
std::string WritesCopy;
int Handle = 0;

void Note(const char* format, unsigned long a = 0, unsigned long b = 0, unsigned long c = 0) {
  char line[128];
  std::snprintf(line, sizeof line, format, a, b, c);
  std::lock_guard guard(Lock);
  CallLog += line;
  CallLog += ";";
}
}  // namespace

extern "C" {

using FtStatus = unsigned long;
using Dword = unsigned int;

const char* FakeD2xxCallLog() {
  std::lock_guard guard(Lock);
  CallLogCopy = CallLog;
  return CallLogCopy.c_str();
}
const char* FakeD2xxWrites() {
  std::lock_guard guard(Lock);
  WritesCopy = Writes;
  return WritesCopy.c_str();
}
void FakeD2xxClearWrites() {
  std::lock_guard guard(Lock);
  Writes.clear();
}

FtStatus FT_CreateDeviceInfoList(Dword* count) {
  Note("FT_CreateDeviceInfoList");
  *count = 1;
  return 0;
}
FtStatus FT_SetVIDPID(Dword vendor, Dword product) {
  Note("FT_SetVIDPID(%lx,%lx)", vendor, product);
  return 0;
}
FtStatus FT_Open(int index, void** handle) {
  Note("FT_Open(%lu)", static_cast<unsigned long>(index));
  const char* result = std::getenv("FAKE_FT_OPEN_RESULT");
  const unsigned long answer = result != nullptr ? std::strtoul(result, nullptr, 10) : 3;
  if (answer == 0) *handle = &Handle;
  return answer;
}
FtStatus FT_SetBaudRate(void* handle, unsigned long baud) {
  Note("FT_SetBaudRate(%lu,%lu)", handle == &Handle, baud);
  return 0;
}
FtStatus FT_SetDataCharacteristics(void*, unsigned char bits, unsigned char stop,
                                   unsigned char parity) {
  Note("FT_SetDataCharacteristics(%lu,%lu,%lu)", bits, stop, parity);
  return 0;
}
FtStatus FT_SetFlowControl(void*, unsigned short flow, unsigned char on, unsigned char off) {
  Note("FT_SetFlowControl(%lu,%lu,%lu)", flow, on, off);
  return 0;
}
FtStatus FT_SetUSBParameters(void*, unsigned long in, unsigned long out) {
  Note("FT_SetUSBParameters(%lu,%lu)", in, out);
  return 7;  // rejected: the link stays open all the same
}
FtStatus FT_Write(void* handle, void* bytes, Dword count, Dword* written) {
  const unsigned char* b = static_cast<const unsigned char*>(bytes);
  Note("FT_Write(%lu,%lu,%lx)", handle == &Handle, count, count >= 2 ? b[1] : 0);
  std::string hex;
  for (Dword i = 0; i < count; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", b[i]);
    hex += pair;
  }
  {
    std::lock_guard guard(Lock);
    Writes += hex + ";";
  }
  *written = count;
  return 0;
}
FtStatus FT_GetStatus(void* handle, Dword* rx, Dword* tx, Dword* events) {
  Note("FT_GetStatus(%lu)", handle == &Handle);
  *rx = 30;
  *tx = 0xFFFFFFFFu;
  *events = 0;
  return 0;
}
FtStatus FT_ReadEE(void* handle, Dword address, unsigned short* word) {
  Note("FT_ReadEE(%lu,%lu)", handle == &Handle, address);
  *word = static_cast<unsigned short>(0xBE00 | (address & 0xFF));
  return 0;
}
FtStatus FT_Close(void* handle) {
  Note("FT_Close(%lu)", handle == &Handle);
  return 0;
}

}  // extern "C"
