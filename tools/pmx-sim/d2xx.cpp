// Power-analyser simulator, the library face: the D2XX calls the program uses, over one
// simulated device, plus a few calls for tests (PmxSim*). Calls may come from several
// threads; the device is behind one mutex.
//
// Options come from the environment variable PMX_SIM_OPTIONS, read when the device list
// is built and at every open, so each connection can bring other faults; the EEPROM
// (and its calibration file) is filled at the library's first use and by PmxSimPowerUp.
// Built with PMX_SIM_WITHOUT_EEPROM_CALLS it exports neither FT_ReadEE nor FT_WriteEE,
// as a library that lacks them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include "instrument.h"
#include "options.h"

namespace zolt::pmxsim {
namespace {

using FtStatus = unsigned long;
using Dword = unsigned int;

constexpr FtStatus FtOk = 0;
constexpr FtStatus FtInvalidHandle = 1;
constexpr FtStatus FtDeviceNotFound = 2;
constexpr FtStatus FtDeviceNotOpened = 3;
constexpr FtStatus FtIoError = 4;
// Answers of the EEPROM calls alone, which the build without them leaves out.
[[maybe_unused]] constexpr FtStatus FtInvalidParameter = 6;
[[maybe_unused]] constexpr FtStatus FtEepromReadFailed = 11;

constexpr int EepromWords = 1024;
constexpr int CalibrationFirstWord = 128;
constexpr size_t CalibrationBytes = 2 * (EepromWords - CalibrationFirstWord);  // 1,792

struct Device {
  std::mutex lock;
  bool poweredUp = false;
  Options options;
  std::string optionErrors;    // already reported
  std::string calibration;     // the file placed in the EEPROM at power-up
  uint16_t eeprom[EepromWords] = {};
  Registers registers;
  Stream stream;
  bool open = false;
  bool vanished = false;  // unplugged: gone until power-up, or plugged in again
  int64_t vanishedUs = 0;
  int handleToken = 0;  // its address is the handle
  int64_t eepromReads = 0;  // FT_ReadEE calls since the open
  int64_t eepromWrites = 0; // FT_WriteEE calls since the open
  bool eepromStalled = false;  // the one stalled FT_ReadEE since power-up has been made
  bool eepromWriteVanished = false;  // the one unplug at an FT_WriteEE since power-up has been made
};

Device TheDevice;

int64_t NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void ReadOptions(Device& device) {
  const char* text = std::getenv("PMX_SIM_OPTIONS");
  std::string errors;
  device.options = ParseOptions(text != nullptr ? text : "", errors);
  if (!errors.empty() && errors != device.optionErrors) std::fputs(errors.c_str(), stderr);
  device.optionErrors = errors;
}

void PowerUp(Device& device) {
  ReadOptions(device);
  device.calibration = DefaultCalibrationFile();
  if (!device.options.calibrationFile.empty()) {
    std::ifstream file(device.options.calibrationFile, std::ios::binary);
    if (file) {
      device.calibration.assign(std::istreambuf_iterator<char>(file), {});
    } else {
      std::fprintf(stderr, "pmx-sim: cannot read %s; the built-in calibration is used\n",
                   device.options.calibrationFile.c_str());
    }
  }
  // Words below the calibration area hold the chip's own settings: its ids.
  std::fill(std::begin(device.eeprom), std::end(device.eeprom), 0);
  device.eeprom[1] = 0x0403;
  device.eeprom[2] = 0x6015;
  const std::string& file = device.calibration;
  for (size_t i = 0; i < file.size() && i < CalibrationBytes; ++i) {
    const uint16_t byte = static_cast<uint8_t>(file[i]);
    device.eeprom[CalibrationFirstWord + i / 2] |= static_cast<uint16_t>(i % 2 == 0 ? byte : byte << 8);
  }
  device.registers = Registers{};
  device.stream = Stream{};
  device.open = false;
  device.vanished = false;
  device.eepromStalled = false;
  device.eepromWriteVanished = false;
  device.poweredUp = true;
}

void Unplug(Device& device, int64_t nowUs) {
  device.vanished = true;
  device.vanishedUs = nowUs;
  device.stream = Stream{};
}

// With replug-after, an unplugged device comes back that long after: closed, its
// registers cleared, its EEPROM as it was left.
void Replug(Device& device, int64_t nowUs) {
  if (!device.vanished || device.options.replugAfterMs < 0 ||
      nowUs - device.vanishedUs < device.options.replugAfterMs * 1000) {
    return;
  }
  device.vanished = false;
  device.open = false;
  device.registers = Registers{};
}

// The device, powered up on first use, locked for the caller.
struct Locked {
  std::lock_guard<std::mutex> guard{TheDevice.lock};
  Device& device = TheDevice;
  Locked() {
    if (!device.poweredUp) PowerUp(device);
    Replug(device, NowUs());
  }
};

bool Valid(const Device& device, void* handle) {
  return device.open && handle == &device.handleToken;
}

// The device is unplugged once its stream has run `vanish-after` ms; it stays gone.
bool Vanished(Device& device, int64_t nowUs) {
  const Stream& stream = device.stream;
  if (!device.vanished && device.options.vanishAfterMs >= 0 && stream.running &&
      nowUs - stream.startUs >= device.options.vanishAfterMs * 1000) {
    Unplug(device, nowUs);
  }
  return device.vanished;
}

// How long this status call stalls: the stream's one stalled call, 1 s into it.
int64_t StallMs(Device& device, int64_t nowUs) {
  Stream& stream = device.stream;
  if (device.options.stallMs <= 0 || !stream.running || stream.stalled ||
      nowUs - stream.startUs < 1000000) {
    return 0;
  }
  stream.stalled = true;
  return device.options.stallMs;
}

}  // namespace
}  // namespace zolt::pmxsim

using namespace zolt::pmxsim;

// Only the calls below leave the library; everything else is hidden (see CMakeLists.txt).
#define PMX_SIM_EXPORT __attribute__((visibility("default")))

extern "C" {

// ---- the D2XX calls ----

PMX_SIM_EXPORT FtStatus FT_CreateDeviceInfoList(Dword* count) {
  Locked locked;
  ReadOptions(locked.device);
  const bool none = locked.device.options.absent || Vanished(locked.device, NowUs());
  if (count != nullptr) *count = none ? 0 : 1;
  return FtOk;
}

PMX_SIM_EXPORT FtStatus FT_SetVIDPID(Dword, Dword) { return FtOk; }

PMX_SIM_EXPORT FtStatus FT_Open(int index, void** handle) {
  Locked locked;
  Device& device = locked.device;
  ReadOptions(device);
  if (device.options.absent || device.vanished || index != 0) return FtDeviceNotFound;
  if (device.open) return FtDeviceNotOpened;
  device.open = true;
  device.eepromReads = 0;
  device.eepromWrites = 0;
  // A stream left enabled by an earlier connection starts afresh.
  device.stream = Stream{};
  FollowStreamEnable(device.stream, device.registers, NowUs());
  if (handle != nullptr) *handle = &device.handleToken;
  return FtOk;
}

PMX_SIM_EXPORT FtStatus FT_Close(void* handle) {
  Locked locked;
  if (!Valid(locked.device, handle)) return FtInvalidHandle;
  locked.device.open = false;
  locked.device.stream = Stream{};
  return FtOk;
}

PMX_SIM_EXPORT FtStatus FT_SetBaudRate(void* handle, unsigned long) {
  Locked locked;
  return Valid(locked.device, handle) ? FtOk : FtInvalidHandle;
}

PMX_SIM_EXPORT FtStatus FT_SetDataCharacteristics(void* handle, unsigned char, unsigned char, unsigned char) {
  Locked locked;
  return Valid(locked.device, handle) ? FtOk : FtInvalidHandle;
}

PMX_SIM_EXPORT FtStatus FT_SetFlowControl(void* handle, unsigned short, unsigned char, unsigned char) {
  Locked locked;
  return Valid(locked.device, handle) ? FtOk : FtInvalidHandle;
}

PMX_SIM_EXPORT FtStatus FT_SetUSBParameters(void* handle, unsigned long, unsigned long) {
  Locked locked;
  return Valid(locked.device, handle) ? FtOk : FtInvalidHandle;
}

PMX_SIM_EXPORT FtStatus FT_Write(void* handle, void* bytes, Dword count, Dword* written) {
  Locked locked;
  Device& device = locked.device;
  if (!Valid(device, handle)) return FtInvalidHandle;
  const int64_t now = NowUs();
  if (Vanished(device, now)) return FtIoError;
  MakeDueFrames(device.stream, device.registers, device.options, now);  // on the old ranges
  TakeHostBytes(device.registers, static_cast<const uint8_t*>(bytes), count);
  FollowStreamEnable(device.stream, device.registers, now);
  if (written != nullptr) *written = count;
  return FtOk;
}

// The stalled call sleeps without holding the device, as a driver waiting on the bus would.
PMX_SIM_EXPORT FtStatus FT_GetStatus(void* handle, Dword* rxBytes, Dword* txBytes, Dword* events) {
  int64_t stallMs = 0;
  {
    Locked locked;
    if (Valid(locked.device, handle)) stallMs = StallMs(locked.device, NowUs());
  }
  if (stallMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
  Locked locked;
  Device& device = locked.device;
  if (!Valid(device, handle)) return FtInvalidHandle;
  if (Vanished(device, NowUs())) return FtIoError;
  MakeDueFrames(device.stream, device.registers, device.options, NowUs());
  if (rxBytes != nullptr) *rxBytes = static_cast<Dword>(QueuedBytes(device.stream));
  if (txBytes != nullptr) *txBytes = 0;
  if (events != nullptr) *events = 0;
  return FtOk;
}

// Returns at once with the bytes there are (the program reads only what is waiting).
PMX_SIM_EXPORT FtStatus FT_Read(void* handle, void* bytes, Dword count, Dword* got) {
  Locked locked;
  Device& device = locked.device;
  if (!Valid(device, handle)) return FtInvalidHandle;
  if (Vanished(device, NowUs())) return FtIoError;
  MakeDueFrames(device.stream, device.registers, device.options, NowUs());
  const size_t taken = TakeQueuedBytes(device.stream, static_cast<uint8_t*>(bytes), count);
  if (got != nullptr) *got = static_cast<Dword>(taken);
  return FtOk;
}

#ifndef PMX_SIM_WITHOUT_EEPROM_CALLS

// With eeprom-stall the first read after power-up sleeps without holding the device.
PMX_SIM_EXPORT FtStatus FT_ReadEE(void* handle, Dword address, unsigned short* word) {
  int64_t stallMs = 0;
  {
    Locked locked;
    Device& device = locked.device;
    if (Valid(device, handle) && device.options.eepromStallMs > 0 && !device.eepromStalled) {
      device.eepromStalled = true;
      stallMs = device.options.eepromStallMs;
    }
  }
  if (stallMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
  Locked locked;
  Device& device = locked.device;
  if (!Valid(device, handle)) return FtInvalidHandle;
  if (Vanished(device, NowUs())) return FtIoError;
  if (address >= EepromWords || word == nullptr) return FtInvalidParameter;
  const int64_t read = ++device.eepromReads;
  if (read == device.options.vanishAtEepromRead) {
    Unplug(device, NowUs());
    return FtIoError;
  }
  // With eeprom-fail-after=N the reads of a connection fail from the (N + 1)-th on,
  // leaving the word as it was.
  const int64_t failAfter = device.options.eepromFailAfter;
  if (failAfter >= 0 && read > failAfter) return FtEepromReadFailed;
  *word = device.eeprom[address];
  return FtOk;
}

PMX_SIM_EXPORT FtStatus FT_WriteEE(void* handle, Dword address, unsigned short word) {
  Locked locked;
  Device& device = locked.device;
  if (!Valid(device, handle)) return FtInvalidHandle;
  if (Vanished(device, NowUs())) return FtIoError;
  if (address >= EepromWords) return FtInvalidParameter;
  // Once after power-up, so that a save made again once it is plugged in goes through.
  if (++device.eepromWrites == device.options.vanishAtEepromWrite && !device.eepromWriteVanished) {
    device.eepromWriteVanished = true;
    Unplug(device, NowUs());
    return FtIoError;
  }
  device.eeprom[address] = word;
  return FtOk;
}

#endif

// ---- for tests ----

// Powers the device up again: options re-read, EEPROM refilled, registers cleared, closed.
PMX_SIM_EXPORT void PmxSimPowerUp() {
  std::lock_guard guard(TheDevice.lock);
  PowerUp(TheDevice);
}

// The last value written to register 0..31.
PMX_SIM_EXPORT unsigned PmxSimRegister(int address) {
  Locked locked;
  return address >= 0 && address < RegisterCount ? locked.device.registers.value[address] : 0;
}

// Requests for register 0 (polls) received since power-up.
PMX_SIM_EXPORT unsigned long PmxSimPolls() {
  Locked locked;
  return static_cast<unsigned long>(locked.device.registers.polls);
}

// EEPROM word 0..1023 as the device holds it, read without any fault.
PMX_SIM_EXPORT unsigned PmxSimEepromWord(int address) {
  Locked locked;
  return address >= 0 && address < EepromWords ? locked.device.eeprom[address] : 0;
}

// The calibration file the EEPROM was filled with at power-up.
PMX_SIM_EXPORT const char* PmxSimCalibrationFile() {
  Locked locked;
  return locked.device.calibration.c_str();
}

// Word 0..511 of the side-channel block.
PMX_SIM_EXPORT unsigned PmxSimSideChannelWord(int index) { return SideChannelWord(index); }

}  // extern "C"
