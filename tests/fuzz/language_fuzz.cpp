// Language files: the table load, the column of a language and the captions.
#include "frame/translate.h"
#include "fuzz_input.h"

ZOLT_FUZZ_IN_SCRATCH_FOLDER

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::frame;
  zolt::fuzz::WriteInput("language.csv", data, size);
  LoadLanguageTable("language.csv");
  LanguageState.LanguageColumn = FindLanguageColumn("German");
  Translate("Connect");
  LoadUiTexts();
  return 0;
}
