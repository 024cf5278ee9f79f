// Test support: a small D2XX-compatible library ("libftd2xx.so") that records its calls.
// FT_Open answers with the number in the environment variable FAKE_FT_OPEN_RESULT
// (default 3, a device that cannot be opened).
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
std::string CallLog;
int Handle = 0;

void Note(const char* format, unsigned long a = 0, unsigned long b = 0, unsigned long c = 0) {
  char line[128];
  std::snprintf(line, sizeof line, format, a, b, c);
  CallLog += line;
  CallLog += ";";
}
}  // namespace

extern "C" {

using FtStatus = unsigned long;
using Dword = unsigned int;

const char* FakeD2xxCallLog() { return CallLog.c_str(); }

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
  *written = count;
  return 0;
}
FtStatus FT_Close(void* handle) {
  Note("FT_Close(%lu)", handle == &Handle);
  return 0;
}

}  // extern "C"
