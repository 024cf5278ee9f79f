// Language files: the table load, the column of a language and the captions. The table
// is emptied first, so that each input is read on its own.
#include "frame/translate.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::frame;
  ClearLanguageTable();
  LoadLanguageText(zolt::fuzz::InputText(data, size));
  LanguageState.LanguageColumn = FindLanguageColumn("German");
  Translate("Connect");
  LoadUiTexts();
  return 0;
}
