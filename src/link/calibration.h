// The curve tracer's calibration: the received image stored as the calibration file, the
// file read into the calibration record, and the gain and offset pairs fitted from it.
//
// CalibrationRecord and CalibrationCoefficients belong to the main thread (the run phases
// copy the code-to-value pairs for the reader at the start of every turn).
// ReceiveCalibrationWord runs in the reader thread under the InstrumentMutex.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zolt::link {

constexpr int CalibrationRecordSize = 71;

// Entry k is the value of line k of the calibration file.
inline double CalibrationRecord[CalibrationRecordSize] = {};

// out = in × Gain + Offset.
struct GainOffset {
  double Gain = 0.0;
  double Offset = 0.0;
};

struct TwoPointFit {
  GainOffset Forward;  // converts x to y
  GainOffset Reverse;  // converts y to x
};

// The line through (x1, y1) and (x2, y2). Equal x values are replaced by 1 and 0; equal
// y values likewise, unless guardY is false (then the reverse pair is not finite).
TwoPointFit FitTwoPoints(double x1, double y1, double x2, double y2, bool guardY = true);

// Pairs by collector current range 0..3 and base/gate range 0..3 (0 = 20 uA, 1 = 200 uA,
// 2 = 2 mA, 3 = 20 mA).
struct CalibrationCoefficientsRecord {
  GainOffset BaseGateVoltageActiveDac;    // volts to base/gate output code, active level
  GainOffset BaseGateVoltageOffsetDac;    // volts to output code, offset level
  GainOffset BaseGateCurrentActiveDac[4]; // amperes to output code, active level
  GainOffset BaseGateCurrentOffsetDac[4]; // amperes to output code, offset level
  GainOffset CollectorVoltageToCode;
  GainOffset CollectorVoltageFromCode;
  GainOffset BaseGateVoltageFromCode;
  GainOffset CollectorCurrentFromCode[4]; // current code to amperes
  GainOffset CollectorCurrentToCode[4];   // amperes to current code (not finite when the
                                          // range's two currents are equal)
};

inline CalibrationCoefficientsRecord CalibrationCoefficients;

// Fits every pair from a record.
CalibrationCoefficientsRecord FitCalibrationCoefficients(
    const double (&record)[CalibrationRecordSize]);

// Passes one frame's calibration word to the stream receiver (reader thread, mutex held).
void ReceiveCalibrationWord(int32_t marker, uint16_t word);

// In state 5 only: when the accepted lines differ from the file's, replaces the file with
// the 1,024 received bytes, waits 1000 ms, re-reads it and refits; then state 6 whatever
// happened. Main thread, without the mutex.
void StoreReceivedCalibration();

// Reads the file's lines (entries 0..1234; further lines overwrite the last) and the
// record (lines 0..70). A missing file is reported in a message box and leaves empty
// lines and a record of zeros.
void ReadCalibrationFile(const std::string& path);
// The same for the file's bytes already in memory (no message).
void ReadCalibrationText(std::string_view text);

// CalibrationCoefficients := the fit of CalibrationRecord.
void ComputeCalibrationCoefficients();

}  // namespace zolt::link
