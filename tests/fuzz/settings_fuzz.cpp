// The settings file: key lookups, the line a typed reader appends for a missing key, the
// exact lookup of the power analyser's calibration file, and the key writer's rewrite.
#include "frame/numbers.h"
#include "frame/settings.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::frame;
  const std::string text = zolt::fuzz::InputText(data, size);
  ParseInteger(FindKeyValue(text, "KVR_ComPort"));
  ParseReal(FindKeyValue(text, "KVR_SampleRate"));
  FindKeyValueExact(text, "Gain1");

  // A key appended to the file reads back as its default, and a rewritten key as its new
  // value, whatever the lines around them hold.
  if (FindKeyValue(text, "KVR_AutoSave").empty() &&
      FindKeyValue(text + MissingKeyLine(text, "KVR_AutoSave", "Yes"), "KVR_AutoSave") != "Yes")
    ::abort();
  const bool present = ToLower(text).find("language=") != std::string::npos;
  if (present && FindKeyValue(ReplaceKeyValue(text, "Language", "German"), "Language") != "German")
    ::abort();
  return 0;
}
