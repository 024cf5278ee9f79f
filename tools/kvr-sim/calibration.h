// Curve-tracer simulator, calibration: the instrument's calibration image, the
// conversions fitted from it, and the stream that carries it two bytes per frame.
//
// The image is text, one decimal number per line (CR LF), NUL-padded to 1,024 bytes;
// its first 71 lines are the calibration record. The simulator converts every value
// to and from instrument codes with the same two-point fits the host makes from that
// record, so the host reads back exactly what the simulated device does.
//
// Sections: record and image; conversions; the stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zolt::kvrsim {

// ---- record and image ----

constexpr int CalibrationEntries = 71;
constexpr size_t CalibrationImageBytes = 1024;

using CalibrationRecord = std::array<double, CalibrationEntries>;
using CalibrationImage = std::array<uint8_t, CalibrationImageBytes>;

// Entry numbers of the record's blocks.
constexpr int CalBaseVoltageDac = 0;        // 0..7: +10 V / -10 V, active and offset DACs
constexpr int CalBaseVoltageAdc = 8;        // 8..13: two points of the base/gate ADC
constexpr int CalBaseCurrentDac[4] = {38, 30, 22, 14};  // by range 0..3, 8 entries each
constexpr int CalCollectorVoltageAdc = 46;  // 46..49: +10 V and -10 V points
constexpr int CalParasiticOhms = 50;
constexpr int CalCollectorRange0 = 51;      // 51 + 5r: resistor, +Ic, +Vc, -Ic, -Vc codes

// The calibration of simulated unit `unit` (any number; each gives its own small,
// repeatable trims of every converter, as units off a production line would have).
CalibrationRecord MakeCalibrationRecord(int unit);
// The record as image text. Returns false (image untouched) if it would not fit.
bool FormatCalibrationImage(const CalibrationRecord& record, CalibrationImage& image);
// Lines as the host splits them (NUL skipped, CR ends a line, LF starts the next);
// entry k is the number at the start of line k, 0 when the line is missing or empty.
CalibrationRecord ParseCalibrationImage(const CalibrationImage& image);

// Image files: at most 1,024 bytes, padded with NUL when shorter.
bool ReadCalibrationImageFile(const std::string& path, CalibrationImage& image,
                              std::string& error);
bool WriteCalibrationImageFile(const std::string& path, const CalibrationImage& image,
                               std::string& error);

// ---- conversions ----

struct LinearMap {
  double gain = 1.0;
  double offset = 0.0;
};

double Apply(const LinearMap& map, double x);
// The map the other way round; a zero gain gives the zero map.
LinearMap Inverse(const LinearMap& map);

struct Conversions {
  LinearMap baseVoltageActiveDac;  // volts to base/gate output code
  LinearMap baseVoltageOffsetDac;
  std::array<LinearMap, 4> baseCurrentActiveDac;  // amperes to output code, by range
  std::array<LinearMap, 4> baseCurrentOffsetDac;
  LinearMap collectorVoltageToCode;
  LinearMap collectorVoltageFromCode;
  LinearMap baseVoltageToCode;
  std::array<LinearMap, 4> collectorCurrentToCode;  // by collector range
  std::array<LinearMap, 4> collectorCurrentFromCode;
  double parasiticOhms = 1.0;  // shunt across the device terminals (voltage sensing)
};

Conversions FitConversions(const CalibrationRecord& record);

// ---- the stream ----

struct CalibrationStream {
  CalibrationImage image{};
  size_t position = 0;     // byte of the image that the next word starts with
  uint64_t copiesSent = 0; // copies started
};

struct CalibrationWord {
  uint16_t word = 0;    // image byte n in the low half, n + 1 in the high half
  bool marker = false;  // the word starts a copy
};

CalibrationWord NextCalibrationWord(CalibrationStream& stream);

}  // namespace zolt::kvrsim
