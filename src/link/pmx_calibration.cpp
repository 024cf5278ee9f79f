// The power analyser's calibration and control registers.
//
// Sections: the point keys; EEPROM area <-> "PMX_cal.txt"; the device's copy at
// connection and the save; the two-point fits; the control registers 1 and 2.
#include "link/pmx_calibration.h"

#include <cmath>
#include <cstdio>

#include "frame/log.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "link/d2xx.h"
#include "link/link_state.h"
#include "link/pmx_link.h"
#include "link/registers.h"
#include "link/usb_device.h"
#include "platform/gui.h"
#include "platform/system.h"

namespace zolt::link {

namespace {

// Words 128..1023 of the chip's EEPROM: 896 words, two file bytes each (low half first).
constexpr uint32_t EepromFirstWord = PmxEepromFirstWord;

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

std::string CalibrationFileFromEeprom(const PmxEepromArea& words) {
  std::string bytes;
  for (const uint16_t word : words) {
    for (const uint8_t byte : {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)}) {
      if (byte != 0) bytes.push_back(static_cast<char>(byte));
    }
  }
  return bytes;
}

bool EepromFromCalibrationFile(std::string_view file, PmxEepromArea& words) {
  if (file.size() > PmxEepromAreaBytes) return false;
  auto byteAt = [&file](size_t index) -> uint16_t {
    return index < file.size() ? static_cast<uint8_t>(file[index]) : 0;
  };
  for (size_t i = 0; i < words.size(); ++i)
    words[i] = static_cast<uint16_t>(byteAt(2 * i) | (byteAt(2 * i + 1) << 8));
  return true;
}

namespace {

// The device's calibration text into the file, replaced in one step, so a failed copy
// leaves the old file whole. False (and said) when it cannot be written.
bool WriteDeviceCopy(const std::string& path, const std::string& text) {
  if (platform::WriteFileReplacing(path, text)) return true;
  platform::ShowMessageBox("Error", "Cannot create 'PMX_cal.txt' file", platform::MessageIcon::None);
  return false;
}

}  // namespace

namespace {
// Whether the marker was there before the save under way: one that fails before writing
// anything leaves it so (main thread only).
bool EarlierSaveUnfinished = false;
}  // namespace

void LoadFileToEeprom(const std::string& path) {
  // The comms thread makes the save between its reads: not before it runs, when the
  // EEPROM is still being read at connection or no thread holds the device at all.
  if (!PmxLinkReady()) {
    if (PmxLinkState.PmxLinkStep == 0) return;
    frame::ReportMessage("Info", "PMX_cal.txt",
                         "The connection to the power analyser is not ready: nothing was written to the device. "
                         "Save 'PMX_cal.txt' to the device once the connect icon reads '" +
                             frame::Captions.Connected + "'.");
    return;
  }
  std::string bytes;
  if (!platform::ReadFileBytes(path, bytes)) {
    frame::ReportMessage("Error", "PMX_cal.txt",
                         "Cannot open 'PMX_cal.txt' file: the device was not written.");
    return;
  }
  // A cut copy in the device would come back over the whole file at the next connection.
  PmxEepromArea words{};
  if (!EepromFromCalibrationFile(bytes, words)) {
    frame::ReportMessage("Error", "PMX_cal.txt",
                         "'PMX_cal.txt' holds " + std::to_string(bytes.size()) + " bytes, more than the " +
                             std::to_string(PmxEepromAreaBytes) +
                             " the device can keep: nothing was written to the device, whose copy replaces "
                             "'PMX_cal.txt' at the next connection.");
    return;
  }
  TellEepromSave(false);  // the last save's outcome, when not yet told
  if (UsbEepromWrite.State == EepromRunState::Running) {
    frame::ReportMessage("Info", "PMX_cal.txt",
                         "A save of 'PMX_cal.txt' to the device is still under way: save again once it has ended.");
    return;
  }
  EarlierSaveUnfinished = platform::FileExists(UnfinishedSaveMarker);
  const platform::DateTime now = platform::LocalDateTime();
  if (!platform::WriteFileReplacing(UnfinishedSaveMarker, "Save of 'PMX_cal.txt' to the device started " +
                                                              frame::FormatLogStamp(now) + "\r\n")) {
    frame::ReportMessage("Error", "PMX_cal.txt",
                         "'" + UnfinishedSaveMarker + "' cannot be written beside the program: nothing was written to "
                         "the device, as a save cut short could not be told at the next connection.");
    return;
  }
  frame::ReportMessage("Calibration", "PMX_cal.txt", "Saving 'PMX_cal.txt' to the device.");
  // The comms thread may have ended since it was seen running: its link's end tells the
  // save as failed.
  UsbWriteEeprom(EepromFirstWord, words.data(), PmxEepromAreaWords);
}

// ---- the device's copy at connection and the save ----

namespace {

// `text`, followed by "The last save ... may be mixed" when a save to the device did not
// finish.
std::string WithUnfinishedSaveNote(const std::string& text) {
  if (!platform::FileExists(UnfinishedSaveMarker)) return text;
  return text + (text.empty() ? "" : " ") +
         "The last save of 'PMX_cal.txt' to the device did not finish: the calibration in the device may be "
         "mixed, part from the file saved and part older. Save the calibration to the device again.";
}

// "PMX_cal.replaced-20250131-120000.txt" beside `path`, with "-2", "-3" ... when taken.
std::string KeptCopyName(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasExtension ? path.substr(0, dot) : path;
  const std::string extension = hasExtension ? path.substr(dot) : "";
  const platform::DateTime t = platform::LocalDateTime();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, ".replaced-%04d%02d%02d-%02d%02d%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                t.Second);
  std::string name = stem + stamp + extension;
  for (int n = 2; platform::FileExists(name); ++n) name = stem + stamp + "-" + std::to_string(n) + extension;
  return name;
}

void ReportUnfinishedSave(const UsbEepromRunRecord& run, bool abandoned) {
  const uint32_t address = run.FirstAddress + static_cast<uint32_t>(run.WordsDone);
  const std::string word = "EEPROM word " + std::to_string(address);
  std::string why;
  if (abandoned) {
    why = "the link to the device ended before the save did";
  } else if (run.FailedStatus == FtNotInLibrary) {
    why = run.FailedOnWrite ? "the USB library 'libftd2xx.so' has no FT_WriteEE"
                            : "the USB library 'libftd2xx.so' has no FT_ReadEE to read the words back";
  } else if (run.FailedStatus != FtOk) {
    why = "the device answered status " + std::to_string(run.FailedStatus) +
          (run.FailedOnWrite ? " writing " : " reading back ") + word;
  } else {
    why = word + " read back as " + std::to_string(run.ReadBack) + ", not the " +
          std::to_string(run.Words[run.WordsDone]) + " written";
  }
  const bool nothingWritten = !abandoned && run.FailedOnWrite && run.WordsDone == 0;
  frame::ReportMessage("Error", "PMX_cal.txt",
                       "'PMX_cal.txt' was not saved to the device: " + why + ", after " +
                           std::to_string(run.WordsDone) + " of " + std::to_string(run.Count) + " words. " +
                           (nothingWritten ? "Nothing was written to the device."
                                           : "The calibration in the device may be mixed, part new and part old: "
                                             "save 'PMX_cal.txt' to the device again once it is connected."));
  if (nothingWritten && !EarlierSaveUnfinished) platform::DeleteFile(UnfinishedSaveMarker);
}

}  // namespace

void StoreDeviceCalibration(const std::string& path, const PmxEepromArea& words) {
  const std::string copy = CalibrationFileFromEeprom(words);
  std::string old;
  std::string kept;
  const bool read = platform::ReadFileBytes(path, old);
  if (read && platform::FileExists(UnfinishedSaveMarker)) {
    // A save cut short: the file is the calibration the user was saving and the device's
    // copy part of it over older words. Saving the file again puts it there whole; the
    // device's copy would make the mix the file's calibration for good.
    if (old == copy) {
      platform::DeleteFile(UnfinishedSaveMarker);  // every word of the file reached the device
      return;
    }
    frame::ReportMessage("Warning", "PMX_cal.txt",
                         "The last save of 'PMX_cal.txt' to the device did not finish: the calibration in the device "
                         "is mixed, part from the file saved and part older. 'PMX_cal.txt' was left as it was and "
                         "its calibration is used: save 'PMX_cal.txt' to the device to put it there whole.");
    return;
  }
  if (read && old != copy) {
    kept = KeptCopyName(path);
    if (!platform::WriteFileReplacing(kept, old)) {
      frame::ReportMessage("Error", "PMX_cal.txt",
                           "'PMX_cal.txt' differs from the calibration in the device, but it could not be kept as '" +
                               kept + "': it was left as it was and its calibration is used.");
      return;
    }
  }
  if (!WriteDeviceCopy(path, copy)) return;
  if (!kept.empty()) {
    frame::ReportMessage("Warning", "PMX_cal.txt",
                         "'PMX_cal.txt' differed from the calibration in the device and was replaced by it; the file "
                         "replaced is kept as '" + kept + "'.");
  } else if (!read && platform::FileExists(UnfinishedSaveMarker)) {
    // No file of the save cut short is left to save again: the mixed copy is all there is.
    frame::ReportMessage("Warning", "PMX_cal.txt",
                         "'PMX_cal.txt' could not be read and now holds the calibration in the device, which the last "
                         "save to the device left mixed, part from the file saved and part older: calibrate the "
                         "power analyser again and save 'PMX_cal.txt' to the device.");
  }
}

void ReportFailedEepromRead(uint32_t address, uint32_t status, bool heldUp) {
  // Half a copy would replace a good file: the file stays as it was, and its calibration
  // is the one fitted.
  const std::string why = heldUp ? "EEPROM word " + std::to_string(address) + " held up for more than " +
                                       std::to_string(PmxReplyTimeoutMs) + " ms"
                          : status == FtNotInLibrary ? "the USB library 'libftd2xx.so' has no FT_ReadEE"
                                                     : "EEPROM word " + std::to_string(address) + ", status " +
                                                           std::to_string(status);
  // A read held up ends the link, so no calibration is used until the next connection.
  const std::string kept = heldUp ? "'PMX_cal.txt' was left as it was and the USB link was closed."
                                  : "'PMX_cal.txt' was left as it was and its calibration is used.";
  frame::ReportMessage("Error", "PMX_cal.txt",
                       WithUnfinishedSaveNote("The calibration could not be read from the device (" + why +
                                              "): " + kept));
}

void TellEepromSave(bool linkEnded) {
  UsbEepromRunRecord& run = UsbEepromWrite;
  switch (run.State.load()) {
    case EepromRunState::Running:
      if (linkEnded && UsbAbandonEepromRun(run)) ReportUnfinishedSave(run, true);
      return;
    case EepromRunState::Done:
      frame::ReportMessage("Calibration", "PMX_cal.txt", "'PMX_cal.txt' was saved to the device and read back.");
      platform::DeleteFile(UnfinishedSaveMarker);
      break;
    case EepromRunState::Failed:
      ReportUnfinishedSave(run, false);
      break;
    default:
      return;
  }
  run.State = EepromRunState::Idle;
}

// ---- the two-point fits ----

namespace {

// "reference<unit>,reading": the reference is read up to the comma (the unit letter ends
// the number), the reading after it; no comma reads 0, and is no point (a missing key
// reads "0"), nor is one without a number before or after its comma ("80V=V,100",
// "80V=80V,"), whose 0 would fit a line through a point nothing measured.
struct CalibrationPoint {
  double Reference, Reading;
  bool Complete;
};

CalibrationPoint ReadCalibrationPoint(const std::string& point) {
  const size_t comma = point.find(',');
  const std::string_view reading = comma == std::string::npos ? "" : std::string_view(point).substr(comma + 1);
  const bool complete = frame::BeginsWithNumber(point) && frame::BeginsWithNumber(reading);
  return {frame::ParseReal(point), complete ? frame::ParseReal(reading) : 0.0, complete};
}

// Why two points fit no usable line.
std::string Unfitted(const CalibrationPoint& positive, const CalibrationPoint& negative, int range) {
  for (int side = 0; side < 2; ++side)
    if (!(side == 0 ? positive : negative).Complete)
      return std::string("its point ") + PmxCalibrationKeys[2 * range + side] + " is missing";
  if (positive.Reading == negative.Reading) return "its two readings are equal";
  if (positive.Reference == negative.Reference) return "its two references are equal";
  return "its values are out of range";
}

}  // namespace

void ComputeTwoPointGainOffset(const std::string& positive, const std::string& negative) {
  const CalibrationPoint p = ReadCalibrationPoint(positive), n = ReadCalibrationPoint(negative);
  PmxFitGain = (n.Reference - p.Reference) / (n.Reading - p.Reading);
  PmxFitOffset = n.Reference - n.Reading * PmxFitGain;
}

std::string FitCalibrationText(std::string_view text) {
  std::string unfitted;
  for (int range = 0; range < PmxRangeCount; ++range) {
    const std::string positiveKey = PmxCalibrationKeys[2 * range];
    const std::string positive = frame::FindKeyValueExact(text, positiveKey);
    const std::string negative = frame::FindKeyValueExact(text, PmxCalibrationKeys[2 * range + 1]);
    ComputeTwoPointGainOffset(positive, negative);
    const CalibrationPoint p = ReadCalibrationPoint(positive), n = ReadCalibrationPoint(negative);
    // A missing point would fit a line through 0 that nothing measured; two equal
    // readings fit no line, and two equal references a flat one that reads the same
    // whatever comes in.
    PmxRangeConstants.Usable[range] =
        p.Complete && n.Complete && std::isfinite(PmxFitGain) && std::isfinite(PmxFitOffset) && PmxFitGain != 0.0;
    if (PmxRangeConstants.Usable[range]) {
      PmxRangeConstants.Gain[range] = PmxFitGain;
      PmxRangeConstants.Offset[range] = PmxFitOffset;
      continue;
    }
    frame::ReportMessage("Calibration", "PMX_cal.txt",
                         "Range " + positiveKey + ": " + Unfitted(p, n, range) + "; its readings are not shown.");
    unfitted += (unfitted.empty() ? "" : ", ") + positiveKey;
  }
  return unfitted;
}

void TransferCalFileToConstants(const std::string& path) {
  std::string text;
  platform::ReadFileBytes(path, text);
  const std::string unfitted = FitCalibrationText(text);
  // Once a connection, all the ranges in one message: their tiles show no reading.
  if (!unfitted.empty()) {
    frame::ReportMessage("Warning", "PMX_cal.txt",
                         "'PMX_cal.txt' gives no usable calibration for " + unfitted +
                             ": these ranges are uncalibrated.");
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
