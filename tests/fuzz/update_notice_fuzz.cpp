// The update notice fetched from the web server: the text its box shows, one line feed
// after each line and no other line end.
#include <algorithm>

#include "frame/update.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = zolt::frame::UpdateNoticeText(zolt::fuzz::InputText(data, size));
  if (std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\0'; })) ::abort();
  if (!text.empty() && text.back() != '\n') ::abort();
  return 0;
}
