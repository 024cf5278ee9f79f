// The calibration: the file read into the record and fitted, and the stream of words
// (two bytes and a marker bit each) received from status frames.
#include "fuzz_input.h"
#include "link/calibration.h"
#include "link/calibration_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::link;
  ReadCalibrationText(zolt::fuzz::InputText(data, size));
  ComputeCalibrationCoefficients();

  CalibrationStream.CalStreamState = CalStreamAwaitMarker;
  for (size_t i = 0; i + 3 <= size; i += 3) {
    ReceiveCalibrationWord(data[i] & 1, static_cast<uint16_t>((data[i + 1] << 8) | data[i + 2]));
  }
  return 0;
}
