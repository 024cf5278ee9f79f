// Test support: a fresh temporary working folder for one test.
//
// The program finds every file relative to its working folder, so most tests run
// inside a folder of their own: TempFolder creates it, makes it the working folder,
// and on destruction returns to the previous folder and removes it.
#pragma once

#include <string>
#include <vector>

namespace zolt::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

// Small file helpers for assertions and set-up; paths are relative to the working folder.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
void MakeFolder(const std::string& path);

}  // namespace zolt::testing
