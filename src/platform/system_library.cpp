// System part: run-time libraries, loaded by number with dlopen.
//
// A library is looked for first in the program's folder, so that one shipped with the
// program wins, then by the system's search path. The table is shared by the main
// thread and the reader threads, so it is behind one mutex.
#include <dlfcn.h>

#include <mutex>
#include <string>

#include "platform/system.h"

namespace zolt::platform {

namespace {

std::mutex LibraryLock;
void* Libraries[MaxLibraries] = {};

bool ValidLibrary(int library) { return library >= 0 && library < MaxLibraries; }

}  // namespace

bool OpenLibrary(int library, const std::string& fileName) {
  if (!ValidLibrary(library) || fileName.empty()) return false;
  void* handle = nullptr;
  if (fileName.find('/') == std::string::npos) {
    handle = ::dlopen((ProgramFolder() + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (handle == nullptr) handle = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return false;
  // A library already under this number is released only after the new one is loaded:
  // when both are the same file it stays mapped, so code of it that another thread is
  // running does not vanish.
  void* previous = nullptr;
  {
    std::lock_guard lock(LibraryLock);
    previous = Libraries[library];
    Libraries[library] = handle;
  }
  if (previous != nullptr) ::dlclose(previous);
  return true;
}

void CloseLibrary(int library) {
  if (!ValidLibrary(library)) return;
  void* handle = nullptr;
  {
    std::lock_guard lock(LibraryLock);
    handle = Libraries[library];
    Libraries[library] = nullptr;
  }
  if (handle != nullptr) ::dlclose(handle);
}

bool IsLibrary(int library) {
  if (!ValidLibrary(library)) return false;
  std::lock_guard lock(LibraryLock);
  return Libraries[library] != nullptr;
}

void* LibraryFunction(int library, const char* name) {
  if (!ValidLibrary(library) || name == nullptr) return nullptr;
  std::lock_guard lock(LibraryLock);
  if (Libraries[library] == nullptr) return nullptr;
  return ::dlsym(Libraries[library], name);
}

}  // namespace zolt::platform
