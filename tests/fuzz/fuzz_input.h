// Fuzz targets: the scratch folder they work in and the input written as a file.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace zolt::fuzz {

// The readers find their files relative to the working folder: each target works in a
// fresh folder of its own under /tmp, removed when the fuzzer ends.
inline void EnterScratchFolder() {
  static char folder[] = "/tmp/zolt-fuzz-XXXXXX";
  if (::mkdtemp(folder) == nullptr || ::chdir(folder) != 0) ::abort();
  std::atexit([] { std::filesystem::remove_all(folder); });
}

inline std::string InputText(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

inline void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
}

}  // namespace zolt::fuzz

#define ZOLT_FUZZ_IN_SCRATCH_FOLDER                             \
  extern "C" int LLVMFuzzerInitialize(int*, char***) {          \
    zolt::fuzz::EnterScratchFolder();                           \
    return 0;                                                   \
  }
