// TEMPORARY stand-ins for parts that other branches implement (message boxes of the
// headless gui, SetBitValue, ports and libraries that are never open), used only until
// they land on main; every definition is weak, so the real ones win as soon as they are
// linked. Delete this file then.
#include <string>
#include <vector>

#include "frame/bits.h"
#include "platform/gui_headless.h"
#include "platform/system.h"

namespace zolt::platform {

__attribute__((weak)) bool OpenSerialPort(int, const std::string&, int) { return false; }
__attribute__((weak)) void CloseSerialPort(int) {}
__attribute__((weak)) bool IsSerialPortOpen(int) { return false; }
__attribute__((weak)) int SerialBytesWaiting(int) { return 0; }
__attribute__((weak)) int ReadSerialPort(int, void*, int) { return 0; }
__attribute__((weak)) int WriteSerialPort(int, const void*, int count) { return count; }
__attribute__((weak)) bool OpenLibrary(int, const std::string&) { return false; }
__attribute__((weak)) bool IsLibrary(int) { return false; }
__attribute__((weak)) void* LibraryFunction(int, const char*) { return nullptr; }

namespace {
std::vector<headless::ShownMessage>& Shown() {
  static std::vector<headless::ShownMessage> shown;
  return shown;
}
}  // namespace

__attribute__((weak)) void ShowMessageBox(const std::string& title, const std::string& text,
                                          MessageIcon icon) {
  Shown().push_back({title, text, icon});
}

namespace headless {
__attribute__((weak)) void Reset() { Shown().clear(); }
__attribute__((weak)) const std::vector<ShownMessage>& MessagesShown() { return Shown(); }
}  // namespace headless

}  // namespace zolt::platform

namespace zolt::frame {
__attribute__((weak)) int32_t SetBitValue(int32_t value, int32_t bit, int32_t state) {
  if (bit < 0 || bit > 31) return value;
  const uint32_t mask = 1u << bit;
  const uint32_t bits = static_cast<uint32_t>(value);
  return static_cast<int32_t>(state != 0 ? (bits | mask) : (bits & ~mask));
}
}  // namespace zolt::frame
