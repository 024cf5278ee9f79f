// The settings file: key lookups, the typed readers that append a missing key, the exact
// lookup of the power analyser's calibration file, and the key writer.
#include "frame/settings.h"
#include "fuzz_input.h"
#include "platform/gui_headless.h"

ZOLT_FUZZ_IN_SCRATCH_FOLDER

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::frame;
  zolt::platform::headless::Reset();
  zolt::fuzz::WriteInput("settings.txt", data, size);
  ReadKeyValue("settings.txt", "Language");
  ReadSettingInteger("settings.txt", 1, "KVR_ComPort");
  ReadSettingDouble("settings.txt", 50.0, "KVR_SampleRate");
  ReadSettingString("settings.txt", "Yes", "KVR_AutoSave");
  ReadKeyValueExact("settings.txt", "Gain1");
  WriteKeyValue("settings.txt", "Language", "German");
  return 0;
}
