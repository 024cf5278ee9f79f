// System part: files and folders.
//
// Text files are read whole and split by the program's line rule (CR, LF, CR LF or NUL
// ends a line). Files the user keeps are replaced in one step: written to a temporary
// file beside the target, flushed to disk, then renamed over it. New files that must
// never replace another are written the same way, then named only where no name is
// taken.
#include <fcntl.h>
#include <limits.h>
#include <malloc.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/system.h"

namespace zolt::platform {

namespace {

bool WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Flushes a folder's entry list, so that a rename in it survives a power cut.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  return ReadFileBytesUpTo(path, bytes, SIZE_MAX) == FileRead::Done;
}

FileRead ReadFileBytesUpTo(const std::string& path, std::string& bytes, size_t limit) {
  bytes.clear();
  // Opened without waiting: a named pipe that nothing writes to reads as empty instead of
  // holding the program up (at start-up, say) until something does.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return FileRead::CannotOpen;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return FileRead::CannotOpen;
  }
  // A file too long is refused by its size, before anything is read.
  if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > limit) {
    ::close(fd);
    return FileRead::TooLarge;
  }
  // Room for the whole file at once: a long file read in growing steps would need
  // several times its size while it is read.
  if (S_ISREG(info.st_mode) && info.st_size > 0) bytes.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      bytes.clear();
      return FileRead::CannotOpen;
    }
    if (got == 0) break;
    // A file that grows while it is read, or a device that never ends, stops at the limit.
    if (static_cast<size_t>(got) > limit - bytes.size()) {
      ::close(fd);
      bytes = std::string();
      return FileRead::TooLarge;
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  return FileRead::Done;
}

std::vector<std::string_view> SplitTextLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t begin = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n' && c != '\0') continue;
    lines.push_back(bytes.substr(begin, i - begin));
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    begin = i + 1;
  }
  if (begin < bytes.size()) lines.push_back(bytes.substr(begin));
  return lines;
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return false;
  SplitTextLines(bytes, lines);
  return true;
}

void SplitTextLines(std::string_view bytes, std::vector<std::string>& lines) {
  lines.clear();
  for (std::string_view line : SplitTextLines(bytes)) lines.emplace_back(line);
}

namespace {
constexpr char TemporaryPrefix[] = ".zolt-";
constexpr char TemporarySuffix[] = ".tmp";
}  // namespace

bool IsTemporaryFileName(const std::string& name) {
  const size_t prefix = sizeof TemporaryPrefix - 1, suffix = sizeof TemporarySuffix - 1;
  if (name.size() != prefix + 6 + suffix) return false;
  if (name.compare(0, prefix, TemporaryPrefix) != 0) return false;
  if (name.compare(prefix + 6, suffix, TemporarySuffix) != 0) return false;
  for (size_t i = prefix; i < prefix + 6; ++i) {
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

void RemoveLeftoverTemporaries(const std::string& folder) {
  for (const FolderEntry& entry : ListFolder(folder)) {
    if (!entry.IsFolder && IsTemporaryFileName(entry.Name)) DeleteFile(folder + "/" + entry.Name);
  }
}

namespace {

// `name` in `folder`; an empty folder is the working folder.
std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Writes the bytes to a new temporary file in the folder, flushed to disk, with the mode a
// new file gets; its path goes to `temporary`. On failure nothing is left behind.
bool WriteTemporaryFile(const std::string& folder, std::string_view bytes, std::string& temporary) {
  temporary = InFolder(folder, std::string(TemporaryPrefix) + "XXXXXX" + TemporarySuffix);
  const int fd = ::mkstemps(temporary.data(), sizeof TemporarySuffix - 1);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes.data(), bytes.size());
  ok = ok && ::fsync(fd) == 0;
  // mkstemp creates the file readable by its owner only; give it the usual mode.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ok = (::close(fd) == 0) && ok;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

enum class Naming { Named, Taken, Vanished, Failed };

// Gives the temporary file the name `path` only when nothing holds that name: a rename
// that never replaces, or on a file system without one a hard link, which never replaces
// either, and the temporary name removed.
Naming NameWithoutReplacing(const std::string& temporary, const std::string& path) {
  int result = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
    result = ::link(temporary.c_str(), path.c_str());
    if (result == 0) ::unlink(temporary.c_str());
  }
  if (result == 0) return Naming::Named;
  if (errno == EEXIST) return Naming::Taken;
  return errno == ENOENT ? Naming::Vanished : Naming::Failed;
}

}  // namespace

bool WriteFileReplacing(const std::string& path, std::string_view bytes) {
  std::string temporary;
  if (!WriteTemporaryFile(FolderOf(path), bytes, temporary)) return false;
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(FolderOf(path));
  return true;
}

NewFileResult WriteNewFile(const std::string& folder, std::string_view bytes,
                           const std::function<std::string(int)>& nameFor, std::string& name) {
  name.clear();
  // Another program starting on a shared folder removes the temporary files it finds
  // there; a temporary file removed so before it was named is written once more.
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::string temporary;
    if (!WriteTemporaryFile(folder, bytes, temporary)) return NewFileResult::Failed;
    Naming naming = Naming::Taken;
    std::string candidate;
    for (int k = 0; naming == Naming::Taken; ++k) {
      candidate = nameFor(k);
      if (candidate.empty()) break;
      naming = NameWithoutReplacing(temporary, InFolder(folder, candidate));
    }
    if (naming == Naming::Named) {
      SyncFolder(folder.empty() ? "." : folder);
      name = candidate;
      return NewFileResult::Written;
    }
    ::unlink(temporary.c_str());
    if (naming == Naming::Taken) return NewFileResult::NoNameFree;
    if (naming == Naming::Failed) return NewFileResult::Failed;
  }
  return NewFileResult::Failed;
}

void ReleaseFreedMemory() { ::malloc_trim(0); }

bool AppendToFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool ok = WriteAll(fd, bytes.data(), bytes.size());
  return (::close(fd) == 0) && ok;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool SamePlace(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

bool MakeFolder(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return FolderExists(path);
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

std::vector<FolderEntry> ListFolder(const std::string& path) {
  std::vector<FolderEntry> entries;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    FolderEntry entry;
    entry.Name = it->path().filename().string();
    entry.IsFolder = it->is_directory(ec);
    entries.push_back(entry);
  }
  return entries;
}

std::string ProgramFolder() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return "./";
  std::string path(buffer, static_cast<size_t>(length));
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace zolt::platform
