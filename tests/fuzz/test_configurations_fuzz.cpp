// The test configurations file: the table load, and a configuration applied, the one the
// first line names and the start-up's 100.
#include "frame/numbers.h"
#include "fuzz_input.h"
#include "tracer/test_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::tracer;
  const std::string text = zolt::fuzz::InputText(data, size);
  LoadTestConfigurationText(text);
  for (int32_t number : {static_cast<int32_t>(zolt::frame::ParseInteger(text)), 100}) {
    TestConfiguration = number;
    ApplyTestConfiguration(number);
    if (TestConfiguration < 100 || TestConfiguration > 1000) ::abort();
  }
  return 0;
}
