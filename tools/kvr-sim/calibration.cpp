// Curve-tracer simulator, calibration: record, image text, fitted conversions, stream.
#include "calibration.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace zolt::kvrsim {

// ---- record and image ----

namespace {

// Repeatable numbers in -1..1 for unit `unit`, one per trim slot.
double Trim(int unit, int slot) {
  uint64_t x = static_cast<uint64_t>(unit) * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(slot) + 1;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  return static_cast<double>(x >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

double RoundTo(double value, int decimals) {
  double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

// Measured values (from the calibration meter) carry four decimals; converter codes,
// PWM settings and resistor values are whole numbers.
int EntryDecimals(int entry) {
  if (entry <= 8) return entry % 2 == 0 ? 4 : 0;
  if (entry == 11) return 4;
  if (entry >= 14 && entry <= 48) return entry % 2 == 0 ? 4 : 0;
  return 0;
}

// A PWM output converter: output = (pwm - centre) / counts per unit.
struct PwmDac {
  double centre;
  double countsPerUnit;
  double Output(double pwm) const { return (pwm - centre) / countsPerUnit; }
};

// An input converter: code = gain x input + offset.
struct Adc {
  double gain;
  double offset;
  double Code(double input) const { return std::round(gain * input + offset); }
};

constexpr double PwmCentre = 32768.0;

}  // namespace

CalibrationRecord MakeCalibrationRecord(int unit) {
  CalibrationRecord e{};
  int slot = 0;
  auto trim = [&](double size) { return size * Trim(unit, slot++); };
  auto dac = [&](double countsPerUnit) {
    double centre = PwmCentre + trim(40.0);
    return PwmDac{centre, countsPerUnit * (1.0 + trim(0.005))};
  };

  // Base/gate voltage DACs, 2,500 counts per volt; points at +10 V and -10 V.
  const double plus10 = PwmCentre + 25000.0, minus10 = PwmCentre - 25000.0;
  PwmDac activeVolts = dac(2500.0), offsetVolts = dac(2500.0);
  e[0] = activeVolts.Output(plus10), e[1] = plus10;
  e[2] = offsetVolts.Output(plus10), e[3] = plus10;
  e[4] = activeVolts.Output(minus10), e[5] = minus10;
  e[6] = offsetVolts.Output(minus10), e[7] = minus10;

  // Base/gate ADC, about 40,000 codes per volt, read at +1.25 V and -1.25 V of the DAC.
  Adc baseAdc{40000.0 * (1.0 + trim(0.003)), trim(200.0)};
  const double plus125 = PwmCentre + 3125.0, minus125 = PwmCentre - 3125.0;
  e[8] = activeVolts.Output(plus125), e[9] = plus125, e[10] = baseAdc.Code(e[8]);
  e[11] = activeVolts.Output(minus125), e[12] = minus125, e[13] = baseAdc.Code(e[11]);

  // Base/gate current DACs: 20,000 counts per full scale; points at +/- full scale,
  // recorded in mA (2 mA and 20 mA ranges) or uA (20 uA and 200 uA ranges).
  const double plusFull = PwmCentre + 20000.0, minusFull = PwmCentre - 20000.0;
  constexpr double FullScale[4] = {20e-6, 200e-6, 2e-3, 20e-3};
  for (int range = 3; range >= 0; --range) {
    int b = CalBaseCurrentDac[range];
    double recordUnit = range >= 2 ? 1e-3 : 1e-6;
    double countsPerUnit = 20000.0 / (FullScale[range] / recordUnit);
    PwmDac active = dac(countsPerUnit), offset = dac(countsPerUnit);
    e[b + 0] = active.Output(plusFull), e[b + 1] = plusFull;
    e[b + 2] = offset.Output(plusFull), e[b + 3] = plusFull;
    e[b + 4] = active.Output(minusFull), e[b + 5] = minusFull;
    e[b + 6] = offset.Output(minusFull), e[b + 7] = minusFull;
  }

  // Collector voltage ADC, about 4,200 codes per volt, read at +10 V and -10 V.
  Adc voltageAdc{4200.0 * (1.0 + trim(0.003)), trim(300.0)};
  e[46] = 10.0 + trim(0.003), e[47] = voltageAdc.Code(e[46]);
  e[48] = -10.0 + trim(0.003), e[49] = voltageAdc.Code(e[48]);

  // Collector current: the voltage-sensing shunt, then per range a calibration
  // resistor driven to about +/-8 V, read by the current and voltage ADCs.
  const double parasitic = 10e6;
  e[CalParasiticOhms] = parasitic;
  constexpr double Resistor[4] = {22000.0, 2200.0, 220.0, 22.0};
  constexpr double CodesPerAmp[4] = {1e8, 1e7, 1e6, 1e5};
  for (int range = 0; range < 4; ++range) {
    int b = CalCollectorRange0 + 5 * range;
    double reff = 1.0 / (1.0 / parasitic + 1.0 / Resistor[range]);
    Adc currentAdc{CodesPerAmp[range] * (1.0 + trim(0.003)), trim(200.0)};
    double plusVolts = 8.0 * (1.0 + trim(0.01)), minusVolts = -8.0 * (1.0 + trim(0.01));
    e[b + 0] = Resistor[range];
    e[b + 1] = currentAdc.Code(plusVolts / reff);
    e[b + 2] = voltageAdc.Code(plusVolts);
    e[b + 3] = currentAdc.Code(minusVolts / reff);
    e[b + 4] = voltageAdc.Code(minusVolts);
  }

  for (int k = 0; k < CalibrationEntries; ++k) e[k] = RoundTo(e[k], EntryDecimals(k));
  return e;
}

bool FormatCalibrationImage(const CalibrationRecord& record, CalibrationImage& image) {
  std::string text;
  for (int k = 0; k < CalibrationEntries; ++k) {
    char line[64];
    std::snprintf(line, sizeof line, "%.*f\r\n", EntryDecimals(k), record[k]);
    text += line;
  }
  if (text.size() > CalibrationImageBytes) return false;
  image.fill(0);
  std::copy(text.begin(), text.end(), image.begin());
  return true;
}

namespace {

double LeadingNumber(const std::string& line) {
  size_t start = line.find_first_not_of(' ');
  if (start == std::string::npos) return 0.0;
  const char* first = line.data() + start;
  if (*first == '+') ++first;
  double value = 0.0;
  std::from_chars(first, line.data() + line.size(), value);
  return value;
}

}  // namespace

CalibrationRecord ParseCalibrationImage(const CalibrationImage& image) {
  std::vector<std::string> lines(CalibrationEntries);
  size_t lineNumber = 0;
  std::string text;
  for (uint8_t byte : image) {
    if (byte == 0) continue;
    if (byte == '\n') {
      ++lineNumber;
      text.clear();
    } else if (byte == '\r') {
      if (lineNumber < lines.size()) lines[lineNumber] = text;
    } else {
      text += static_cast<char>(byte);
    }
  }
  CalibrationRecord record{};
  for (int k = 0; k < CalibrationEntries; ++k) record[k] = LeadingNumber(lines[k]);
  return record;
}

bool ReadCalibrationImageFile(const std::string& path, CalibrationImage& image,
                              std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() > CalibrationImageBytes) {
    error = path + " holds more than 1024 bytes";
    return false;
  }
  image.fill(0);
  std::copy(bytes.begin(), bytes.end(), image.begin());
  return true;
}

bool WriteCalibrationImageFile(const std::string& path, const CalibrationImage& image,
                               std::string& error) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  file.close();
  if (!file) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

// ---- conversions ----

double Apply(const LinearMap& map, double x) { return x * map.gain + map.offset; }

LinearMap Inverse(const LinearMap& map) {
  if (map.gain == 0.0 || !std::isfinite(map.gain)) return LinearMap{0.0, 0.0};
  return LinearMap{1.0 / map.gain, -map.offset / map.gain};
}

namespace {

struct Fit {
  LinearMap forward;  // x to y
  LinearMap reverse;  // y to x
};

// Straight line through two points. Equal x (and, when guarded, equal y) are replaced
// by 1 and 0, so an empty record still gives finite maps.
Fit TwoPointFit(double x1, double y1, double x2, double y2, bool guardY) {
  if (x1 - x2 == 0.0) x1 = 1.0, x2 = 0.0;
  if (guardY && y1 - y2 == 0.0) y1 = 1.0, y2 = 0.0;
  Fit fit;
  fit.forward.gain = (y1 - y2) / (x1 - x2);
  fit.forward.offset = y1 - x1 * fit.forward.gain;
  fit.reverse.gain = (x1 - x2) / (y1 - y2);
  fit.reverse.offset = x1 - y1 * fit.reverse.gain;
  return fit;
}

double OhmsOrOne(double ohms) { return ohms == 0.0 ? 1.0 : ohms; }

}  // namespace

Conversions FitConversions(const CalibrationRecord& e) {
  Conversions c;
  c.baseVoltageActiveDac = TwoPointFit(e[0], e[1], e[4], e[5], true).forward;
  c.baseVoltageOffsetDac = TwoPointFit(e[2], e[3], e[6], e[7], true).forward;
  for (int range = 0; range < 4; ++range) {
    int b = CalBaseCurrentDac[range];
    double unit = range >= 2 ? 1e-3 : 1e-6;
    c.baseCurrentActiveDac[range] =
        TwoPointFit(e[b] * unit, e[b + 1], e[b + 4] * unit, e[b + 5], true).forward;
    c.baseCurrentOffsetDac[range] =
        TwoPointFit(e[b + 2] * unit, e[b + 3], e[b + 6] * unit, e[b + 7], true).forward;
  }
  Fit collectorVoltage = TwoPointFit(e[46], e[47], e[48], e[49], true);
  c.collectorVoltageToCode = collectorVoltage.forward;
  c.collectorVoltageFromCode = collectorVoltage.reverse;
  c.baseVoltageToCode = TwoPointFit(e[8], e[10], e[11], e[13], true).forward;

  c.parasiticOhms = OhmsOrOne(e[CalParasiticOhms]);
  for (int range = 0; range < 4; ++range) {
    int b = CalCollectorRange0 + 5 * range;
    double reff = 1.0 / (1.0 / c.parasiticOhms + 1.0 / OhmsOrOne(e[b]));
    double plusAmps = Apply(c.collectorVoltageFromCode, e[b + 2]) / reff;
    double minusAmps = Apply(c.collectorVoltageFromCode, e[b + 4]) / reff;
    Fit current = TwoPointFit(e[b + 1], plusAmps, e[b + 3], minusAmps, false);
    c.collectorCurrentFromCode[range] = current.forward;
    c.collectorCurrentToCode[range] = current.reverse;
  }
  return c;
}

// ---- the stream ----

CalibrationWord NextCalibrationWord(CalibrationStream& stream) {
  if (stream.position + 1 >= stream.image.size()) stream.position = 0;
  CalibrationWord out;
  out.marker = stream.position == 0;
  if (out.marker) ++stream.copiesSent;
  out.word = static_cast<uint16_t>(stream.image[stream.position] |
                                   stream.image[stream.position + 1] << 8);
  stream.position += 2;
  return out;
}

}  // namespace zolt::kvrsim
