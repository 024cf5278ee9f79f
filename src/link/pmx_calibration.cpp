// The power analyser's calibration and control registers.
//
// Sections: the point keys; EEPROM area <-> "PMX_cal.txt"; the two-point fits; the
// control registers 1 and 2.
#include "link/pmx_calibration.h"

#include <cmath>

#include "frame/log.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "link/link_state.h"
#include "link/pmx_link.h"
#include "link/registers.h"
#include "link/usb_device.h"
#include "platform/gui.h"
#include "platform/system.h"

namespace zolt::link {

namespace {

// Words 128..1023 of the chip's EEPROM: 896 words, two file bytes each (low half first).
constexpr uint32_t EepromFirstWord = 128;
constexpr uint32_t EepromLastWord = 1023;

constexpr int64_t CommsEnableBit = int64_t{1} << 16;
// Bits of register 1 that are pulses: cleared once the register has been sent.
constexpr int64_t CommandPulseBits = 0x800F;

// 1, 2, 4, 8, 16, 32 give 0..5; any other mask gives 0 and is itself set to 1.
int32_t RangeIndexOfMask(int32_t& mask) {
  for (int32_t index = 0; index < 6; ++index) {
    if (mask == (1 << index)) return index;
  }
  mask = 1;
  return 0;
}

}  // namespace

// ---- the point keys ----

const char* const PmxCalibrationKeys[PmxRangeCount * 2] = {
    "300V", "-300V", "150V", "-150V", "80V", "-80V", "40V", "-40V", "20V", "-20V", "10V", "-10V",
    "10A", "-10A", "5A", "-5A", "2A", "-2A", "1A", "-1A", "0.5A", "-0.5A", "0.25A", "-0.25A"};

// ---- EEPROM area <-> file ----

void SaveEepromToFile(const std::string& path) {
  if (LinkState.Connected == 0) return;
  // Bytes 0 are left out: they are the padding after the file.
  std::string bytes;
  for (uint32_t address = EepromFirstWord; address <= EepromLastWord; ++address) {
    uint16_t word = 0;
    if (!UsbReadEepromWord(address, word)) return;  // the device went away: keep the old file
    for (const uint8_t byte : {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)}) {
      if (byte != 0) bytes.push_back(static_cast<char>(byte));
    }
  }
  // Replaced in one step, so a failed copy leaves the old file whole.
  if (!platform::WriteFileReplacing(path, bytes)) {
    platform::ShowMessageBox("Error", "Cannot create 'PMX_cal.txt' file",
                             platform::MessageIcon::None);
  }
}

void LoadFileToEeprom(const std::string& path) {
  if (LinkState.Connected == 0) return;
  std::string bytes;
  if (!platform::ReadFileBytes(path, bytes)) {
    frame::ReportMessage("Error", "PMX_cal.txt",
                         "Cannot open 'PMX_cal.txt' file: the device was not written.");
    return;
  }
  // Bytes past the area's 1,792 are not stored; words past the file's end hold 0.
  auto byteAt = [&bytes](size_t index) -> uint16_t {
    return index < bytes.size() ? static_cast<uint8_t>(bytes[index]) : 0;
  };
  for (uint32_t address = EepromFirstWord; address <= EepromLastWord; ++address) {
    const size_t first = 2 * size_t{address - EepromFirstWord};
    const uint16_t word = static_cast<uint16_t>(byteAt(first) | (byteAt(first + 1) << 8));
    if (!UsbWriteEepromWord(address, word)) return;
  }
}

// ---- the two-point fits ----

void ComputeTwoPointGainOffset(const std::string& positive, const std::string& negative) {
  // "reference<unit>,reading": the reference is read up to the comma (the unit letter
  // ends the number), the reading after it; no comma reads 0.
  auto reference = [](const std::string& point) { return frame::ParseReal(point); };
  auto reading = [](const std::string& point) {
    const size_t comma = point.find(',');
    return comma == std::string::npos ? 0.0 : frame::ParseReal(std::string_view(point).substr(comma + 1));
  };
  const double positiveReference = reference(positive), negativeReference = reference(negative);
  const double positiveReading = reading(positive), negativeReading = reading(negative);
  PmxFitGain = (negativeReference - positiveReference) / (negativeReading - positiveReading);
  PmxFitOffset = negativeReference - negativeReading * PmxFitGain;
}

void TransferCalFileToConstants(const std::string& path) {
  for (int range = 0; range < PmxRangeCount; ++range) {
    const std::string positiveKey = PmxCalibrationKeys[2 * range];
    ComputeTwoPointGainOffset(frame::ReadKeyValueExact(path, positiveKey),
                              frame::ReadKeyValueExact(path, PmxCalibrationKeys[2 * range + 1]));
    if (!std::isfinite(PmxFitGain) || !std::isfinite(PmxFitOffset)) {
      // Two equal readings (a missing key reads 0) fit no line: the range keeps its pair.
      frame::ReportMessage("Calibration", "PMX_cal.txt",
                           "Range " + positiveKey +
                               ": its two readings are equal; the previous gain and offset are kept.");
      continue;
    }
    PmxRangeConstants.Gain[range] = PmxFitGain;
    PmxRangeConstants.Offset[range] = PmxFitOffset;
  }
}

// ---- control registers ----

void SendPowerAnalyserControl() {
  if (PmxLinkState.PmxCommsEnable == "On") {
    RegisterImage[1] |= CommsEnableBit;
  } else {
    RegisterImage[1] &= ~CommsEnableBit;
  }
  const int32_t voltageIndex = RangeIndexOfMask(PmxRanges.PmxVoltageRangeMask);
  const int32_t currentIndex = RangeIndexOfMask(PmxRanges.PmxCurrentRangeMask);
  RegisterImage[2] = voltageIndex * 8 + currentIndex + 192;
  WriteRegisterBlock(1, 1, 0);
  WriteRegisterBlock(2, 1, 0);
  RegisterImage[1] &= ~CommandPulseBits;
  LinkState.LastPollTime = platform::ElapsedMilliseconds();
}

}  // namespace zolt::link
