// Calibration: the received image, the calibration file, the record and the fits.
#include "link/calibration.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "frame/numbers.h"
#include "link/calibration_stream.h"
#include "platform/gui.h"
#include "platform/system.h"

namespace zolt::link {

namespace {
constexpr int StoreSettleMs = 1000;  // pause between writing the file and reading it back
}

// ---- fits ----

TwoPointFit FitTwoPoints(double x1, double y1, double x2, double y2, bool guardY) {
  if (x1 - x2 == 0.0) {
    x1 = 1.0;
    x2 = 0.0;
  }
  if (guardY && y1 - y2 == 0.0) {
    y1 = 1.0;
    y2 = 0.0;
  }
  TwoPointFit fit;
  fit.Forward.Gain = (y1 - y2) / (x1 - x2);
  fit.Forward.Offset = y1 - x1 * fit.Forward.Gain;
  fit.Reverse.Gain = (x1 - x2) / (y1 - y2);
  fit.Reverse.Offset = x1 - y1 * fit.Reverse.Gain;
  return fit;
}

CalibrationCoefficientsRecord FitCalibrationCoefficients(
    const double (&record)[CalibrationRecordSize]) {
  const double* e = record;
  CalibrationCoefficientsRecord c;
  c.BaseGateVoltageActiveDac = FitTwoPoints(e[0], e[1], e[4], e[5]).Forward;
  c.BaseGateVoltageOffsetDac = FitTwoPoints(e[2], e[3], e[6], e[7]).Forward;

  // Base/gate current outputs: measured currents are recorded in mA (ranges 3 and 2) or
  // uA (ranges 1 and 0) and fitted in amperes. Each range holds eight entries from its
  // base: (current, code) pairs for +active, +offset, -active and -offset.
  // The currents are divided by 1000 or 1,000,000 rather than multiplied by 1e-3 or 1e-6,
  // which are not exact in binary and would move the fits by a rounding step.
  struct CurrentBlock {
    int range;
    int base;
    double perAmpere;
  };
  const CurrentBlock blocks[] = {{3, 14, 1e3}, {2, 22, 1e3}, {1, 30, 1e6}, {0, 38, 1e6}};
  for (const CurrentBlock& b : blocks) {
    const int k = b.base;
    const double d = b.perAmpere;
    c.BaseGateCurrentActiveDac[b.range] =
        FitTwoPoints(e[k] / d, e[k + 1], e[k + 4] / d, e[k + 5]).Forward;
    c.BaseGateCurrentOffsetDac[b.range] =
        FitTwoPoints(e[k + 2] / d, e[k + 3], e[k + 6] / d, e[k + 7]).Forward;
  }

  const TwoPointFit collectorVoltage = FitTwoPoints(e[46], e[47], e[48], e[49]);
  c.CollectorVoltageToCode = collectorVoltage.Forward;
  c.CollectorVoltageFromCode = collectorVoltage.Reverse;
  c.BaseGateVoltageFromCode = FitTwoPoints(e[8], e[10], e[11], e[13]).Reverse;

  // Collector current: the calibration resistor in parallel with the parasitic one turns
  // the raw voltage codes at the two points into currents, fitted against the raw current
  // codes. The currents are not guarded: equal currents leave the to-code pair infinite.
  const double parasitic = e[50] == 0.0 ? 1.0 : e[50];
  for (int r = 0; r < 4; ++r) {
    const int b = 51 + 5 * r;
    const double resistor = e[b] == 0.0 ? 1.0 : e[b];
    const double effective = 1.0 / (1.0 / parasitic + 1.0 / resistor);
    const GainOffset& toVolts = c.CollectorVoltageFromCode;
    const double positive = (e[b + 2] * toVolts.Gain + toVolts.Offset) / effective;
    const double negative = (e[b + 4] * toVolts.Gain + toVolts.Offset) / effective;
    const TwoPointFit fit = FitTwoPoints(e[b + 1], positive, e[b + 3], negative, false);
    c.CollectorCurrentFromCode[r] = fit.Forward;
    c.CollectorCurrentToCode[r] = fit.Reverse;
  }
  return c;
}

void ComputeCalibrationCoefficients() {
  CalibrationCoefficients = FitCalibrationCoefficients(CalibrationRecord);
}

// ---- the received image ----

void ReceiveCalibrationWord(int32_t marker, uint16_t word) {
  AdvanceCalibrationStream(CalibrationStream, marker, word);
}

void StoreReceivedCalibration() {
  CalibrationStreamRecord& stream = CalibrationStream;
  if (stream.CalStreamState.load() != CalStreamStore) return;
  bool differs = false;
  for (int i = 0; i < CalibrationLineCount && !differs; ++i) {
    differs = stream.CalFileLines[i] != stream.CalLines[i];
  }
  if (differs) {
    const std::string_view bytes(reinterpret_cast<const char*>(stream.CalCopy1),
                                 CalibrationImageBytes);
    if (platform::WriteFileReplacing(stream.CalibrationFile, bytes)) {
      platform::Delay(StoreSettleMs);
      ReadCalibrationFile(stream.CalibrationFile);
      ComputeCalibrationCoefficients();
    }
  }
  stream.CalStreamState = CalStreamDone;  // one image per program run
}

// ---- the file ----

void ReadCalibrationFile(const std::string& path) {
  std::string bytes;
  if (!platform::ReadFileBytes(path, bytes)) {
    platform::ShowMessageBox(
        "Cannot find calibration file",
        path + " file not found, please allow extra time after connection for this data to be "
               "automatically downloaded from the instrument - instrument will not function "
               "correctly until this has happened!",
        platform::MessageIcon::Error);
  }
  ReadCalibrationText(bytes);
}

void ReadCalibrationText(std::string_view text) {
  std::string(&fileLines)[CalibrationFileLineCount] = CalibrationStream.CalFileLines;
  for (std::string& line : fileLines) line.clear();
  const std::vector<std::string_view> lines = platform::SplitTextLines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t slot = std::min<size_t>(i, CalibrationFileLineCount - 1);
    fileLines[slot] = lines[i];
  }
  for (int k = 0; k < CalibrationRecordSize; ++k) {
    CalibrationRecord[k] = frame::ParseReal(fileLines[k]);
  }
}

}  // namespace zolt::link
