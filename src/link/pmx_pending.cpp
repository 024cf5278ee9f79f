// Placeholders for the power analyser's link until the link itself lands: the step
// machine stays at "Connect" and nothing reaches an instrument.
#include "link/pmx_calibration.h"
#include "link/pmx_link.h"

namespace zolt::link {

const char* const PmxCalibrationKeys[PmxRangeCount * 2] = {
    "300V", "-300V", "150V", "-150V", "80V", "-80V", "40V", "-40V", "20V", "-20V", "10V", "-10V",
    "10A", "-10A", "5A", "-5A", "2A", "-2A", "1A", "-1A", "0.5A", "-0.5A", "0.25A", "-0.25A"};

void StepPowerAnalyserConnection() {}
int PowerAnalyserCommsThread(void*) { return 0; }
void SaveEepromToFile(const std::string&) {}
void LoadFileToEeprom(const std::string&) {}
void TransferCalFileToConstants(const std::string&) {}
void ComputeTwoPointGainOffset(const std::string&, const std::string&) {}
void SendPowerAnalyserControl() {}

}  // namespace zolt::link
