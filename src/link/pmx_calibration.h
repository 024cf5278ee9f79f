// The power analyser's calibration and control registers: "PMX_cal.txt" and its copy in
// the EEPROM of the USB chip (words 128 to 1023), the gain and offset fitted per range,
// and registers 1 (stream enable) and 2 (range select).
//
// PmxRanges is the range selection of the power-analyser front end; it lives here
// because register 2 is built from its masks. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zolt::link {

constexpr int PmxRangeCount = 12;  // 300, 150, 80, 40, 20, 10 V; 10, 5, 2, 1, 0.5, 0.25 A

struct PmxRangesRecord {
  double PmxVoltageRange = 300.0;        // selected: 300, 150, 80, 40, 20 or 10 V
  double PmxCurrentRange = 10.0;         // selected: 10, 5, 2, 1, 0.5 or 0.25 A
  double PmxAppliedVoltageRange = 0.0;   // last applied to the conversion and sent
  double PmxAppliedCurrentRange = 0.0;
  int32_t PmxVoltageRangeMask = 0;       // 300 V 1, 150 V 2, ... 10 V 32
  int32_t PmxCurrentRangeMask = 0;       // 10 A 1, 5 A 2, ... 0.25 A 32
};

inline PmxRangesRecord PmxRanges;

// One gain and offset pair per range, in the order above: reading x Gain + Offset. A
// range is Usable once a fit gave it a line from both its points; the readings of a range
// that is not are shown as uncalibrated.
struct PmxRangeConstantsRecord {
  double Gain[PmxRangeCount] = {};
  double Offset[PmxRangeCount] = {};
  bool Usable[PmxRangeCount] = {};
};

inline PmxRangeConstantsRecord PmxRangeConstants;

// Results of the last ComputeTwoPointGainOffset.
inline double PmxFitGain = 0.0;
inline double PmxFitOffset = 0.0;

// The 24 point keys in file order ("300V", "-300V", ... "-0.25A").
extern const char* const PmxCalibrationKeys[PmxRangeCount * 2];

// The EEPROM area: words 128 to 1023 of the USB chip, two bytes of the file a word.
constexpr uint32_t PmxEepromFirstWord = 128;
constexpr int PmxEepromAreaWords = 896;
constexpr size_t PmxEepromAreaBytes = 2 * PmxEepromAreaWords;  // 1,792
using PmxEepromArea = std::array<uint16_t, PmxEepromAreaWords>;

// The file the area's words hold: the low half of each word first, then the high half;
// bytes 0 are left out (they pad the area after the file).
std::string CalibrationFileFromEeprom(const PmxEepromArea& words);
// The area's words for a file, zeros after it; false, and `words` untouched, when the
// file is longer than the area.
bool EepromFromCalibrationFile(std::string_view file, PmxEepromArea& words);

// File to EEPROM area, only on a ready link (PmxLinkReady): a save asked for while a
// connection is under way or ending writes nothing and says so (while not connected it
// does nothing). A file that cannot be read, or does not fit the area, writes nothing and
// is reported. Otherwise the save is handed to the comms thread (usb_device.h), each word
// read back, and told by TellEepromSave once it has ended.
void LoadFileToEeprom(const std::string& path);

// A save to the device not yet read back whole, remembered beside the program: the
// marker is written as a save starts and removed once a save has finished, so a save
// cut short (the device unplugged, the link lost, the program ended) is told at the
// next connection, whatever happened meanwhile.
inline const std::string UnfinishedSaveMarker = "PMX_cal_save_unfinished.txt";

// The area's words read at connection into the file at `path`. A file that differs is
// first kept beside it under a name of its own ("PMX_cal.replaced-YYYYMMDD-HHMMSS.txt")
// and the user is told once; a copy that cannot be kept leaves the file as it was.
// While a save to the device is unfinished the file is what the user was saving: it is
// left as it is and used, and the user is told that the device holds a mixed copy (a
// device that holds the file whole ends the unfinished save without a word).
void StoreDeviceCalibration(const std::string& path, const PmxEepromArea& words);
// Tells a read of the area that failed at word `address`: with the library's `status`
// (FtNotInLibrary: the library has no FT_ReadEE), or held up in the device.
void ReportFailedEepromRead(uint32_t address, uint32_t status, bool heldUp);
// Main thread, every turn and when a link ends: tells the outcome of a save to the
// device once it is known. A save still running when its link ends has failed.
void TellEepromSave(bool linkEnded);
// File to PmxRangeConstants; the ranges it gives no usable pair are reported in one
// message.
void TransferCalFileToConstants(const std::string& path);
// The fits of TransferCalFileToConstants over the file's text: a range that misses one
// of its points (a key that is not there, or a point without its reading) or whose two
// points give no usable line (a gain that is 0 or not finite) keeps its pair, is not
// Usable and is logged. Returns those ranges' keys ("80V, 40V"), empty when every range
// fitted.
std::string FitCalibrationText(std::string_view text);
// The fit of one range from its positive and negative point texts ("reference<unit>,reading").
void ComputeTwoPointGainOffset(const std::string& positive, const std::string& negative);
// Registers 1 and 2 to the instrument (over USB, nothing when not connected).
void SendPowerAnalyserControl();

}  // namespace zolt::link
