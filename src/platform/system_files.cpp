// System part: files and folders.
//
// Text files are read whole and split by the program's line rule (CR, LF, CR LF or NUL
// ends a line). Files the user keeps are replaced in one step: written to a temporary
// file beside the target, flushed to disk, then renamed over it. New files that must
// never replace another are written the same way, then named only where no name is
// taken; where the file system can neither rename so nor link, the name is created
// exclusively and written in place.
//
// Sections: faults and errors; reading; temporary files; writing; files and folders.
#include <fcntl.h>
#include <limits.h>
#include <malloc.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/system.h"

namespace zolt::platform {

// ---- faults and errors ----

namespace {

// Why the last failed file call of this thread failed.
thread_local int FileErrno = 0;

// Notes errno as the cause of a failure; returns false for the caller to pass on.
bool Failed() {
  FileErrno = errno;
  return false;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A folder named without a trailing slash; the working folder as ".".
std::string PlainFolder(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder.empty() ? "." : folder;
}

std::atomic<unsigned> Faults{0};
std::mutex FaultLock;
std::string FaultFolder;

// Whether a test made `fault` happen to files in the folder of `path`.
bool Faulty(const std::string& path, unsigned fault) {
  if ((Faults.load() & fault) == 0) return false;
  const std::lock_guard<std::mutex> lock(FaultLock);
  return PlainFolder(FolderOf(path)) == FaultFolder;
}

}  // namespace

void SetFileFaults(const std::string& folder, unsigned faults) {
  const std::lock_guard<std::mutex> lock(FaultLock);
  FaultFolder = PlainFolder(folder);
  Faults = faults;
}

std::string LastFileError() {
  char buffer[256];
  return ::strerror_r(FileErrno, buffer, sizeof buffer);
}

namespace {

// Writes every byte to the file `path` open as fd.
bool WriteAll(int fd, const std::string& path, const char* data, size_t length) {
  if (length > 0 && Faulty(path, FaultDiskFull)) {
    errno = ENOSPC;
    return false;
  }
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

// Flushes a folder's entry list, so that a rename in it survives a power cut.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

// ---- reading ----

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  return ReadFileBytesUpTo(path, bytes, SIZE_MAX) == FileRead::Done;
}

FileRead ReadFileBytesUpTo(const std::string& path, std::string& bytes, size_t limit) {
  bytes.clear();
  // Opened without waiting: a named pipe that nothing writes to reads as empty instead of
  // holding the program up (at start-up, say) until something does.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    Failed();
    return FileRead::CannotOpen;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    FileErrno = EISDIR;
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
      Failed();
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

// ---- temporary files ----

namespace {
constexpr char TemporaryPrefix[] = ".zolt-";
constexpr char TemporarySuffix[] = ".tmp";
// A temporary file not written to for this long belongs to no running program: each write
// renews its time, and a program names it a moment after its last write.
constexpr time_t StaleTemporarySeconds = 3600;
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
  const time_t now = ::time(nullptr);
  for (const FolderEntry& entry : ListFolder(folder)) {
    if (entry.IsFolder || !IsTemporaryFileName(entry.Name)) continue;
    const std::string path = folder + "/" + entry.Name;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && now - info.st_mtime >= StaleTemporarySeconds)
      DeleteFile(path);
  }
}

namespace {

// `name` in `folder`; an empty folder is the working folder.
std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The mode a new file gets.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Writes the bytes to a new temporary file in the folder, flushed to disk, with `mode`;
// its path goes to `temporary`. On failure nothing is left behind.
bool WriteTemporaryFile(const std::string& folder, std::string_view bytes, mode_t mode, std::string& temporary) {
  temporary = InFolder(folder, std::string(TemporaryPrefix) + "XXXXXX" + TemporarySuffix);
  const int fd = ::mkstemps(temporary.data(), sizeof TemporarySuffix - 1);
  if (fd < 0) return Failed();
  // mkstemp creates the file readable by its owner only.
  bool ok = WriteAll(fd, temporary, bytes.data(), bytes.size()) && ::fsync(fd) == 0 && ::fchmod(fd, mode) == 0;
  if (!ok) Failed();
  if (::close(fd) != 0 && ok) ok = Failed();
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

enum class Naming { Named, Taken, Vanished, Unsupported, Failed };

// Gives the temporary file the name `path` only when nothing holds that name: a rename
// that never replaces, or on a file system without one a hard link, which never replaces
// either, and the temporary name removed. Unsupported: the file system has neither.
Naming NameWithoutReplacing(const std::string& temporary, const std::string& path) {
  int result = -1;
  if (Faulty(path, FaultNoRenameNoReplace))
    errno = EINVAL;
  else
    result = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
    if (Faulty(path, FaultNoHardLink))
      errno = EPERM;
    else
      result = ::link(temporary.c_str(), path.c_str());
    if (result == 0) ::unlink(temporary.c_str());
    if (result != 0 && (errno == EPERM || errno == ENOSYS || errno == ENOTSUP || errno == EOPNOTSUPP))
      return Naming::Unsupported;
  }
  if (result == 0) return Naming::Named;
  if (errno == EEXIST) return Naming::Taken;
  Failed();
  return errno == ENOENT ? Naming::Vanished : Naming::Failed;
}

// The last way that never replaces: the name created exclusively and the bytes written
// into it, the file removed again when they cannot all be written.
Naming WriteInPlace(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) return Naming::Taken;
    Failed();
    return Naming::Failed;
  }
  bool ok = WriteAll(fd, path, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  if (!ok) Failed();
  if (::close(fd) != 0 && ok) ok = Failed();
  if (ok) return Naming::Named;
  ::unlink(path.c_str());
  return Naming::Failed;
}

}  // namespace

// ---- writing ----

bool WriteFileReplacing(const std::string& path, std::string_view bytes) {
  struct stat info {};
  const mode_t mode = ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_mode & 07777 : NewFileMode();
  std::string temporary;
  if (!WriteTemporaryFile(FolderOf(path), bytes, mode, temporary)) return false;
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    Failed();
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(FolderOf(path));
  return true;
}

bool RewriteFile(const std::string& path, std::string_view bytes) {
  // A rename would take no notice of the file's own permissions, and one running with
  // every right would find every file writable: a file nobody may write is protected.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || ::access(path.c_str(), W_OK) != 0) return Failed();
  if ((info.st_mode & 0222) == 0) {
    errno = EACCES;
    return Failed();
  }
  return WriteFileReplacing(path, bytes);
}

NewFileResult WriteNewFile(const std::string& folder, std::string_view bytes,
                           const std::function<std::string(int)>& nameFor, std::string& name) {
  name.clear();
  // Another program starting on a shared folder removes the stale temporary files it
  // finds there; a temporary file removed so before it was named is written once more.
  Naming naming = Naming::Vanished;
  for (int attempt = 0; attempt < 2 && naming == Naming::Vanished; ++attempt) {
    std::string temporary;
    if (!WriteTemporaryFile(folder, bytes, NewFileMode(), temporary)) return NewFileResult::Failed;
    // Each name in turn until one is free.
    int k = 0;
    std::string candidate;
    naming = Naming::Taken;
    while (naming == Naming::Taken && !(candidate = nameFor(k)).empty()) {
      naming = NameWithoutReplacing(temporary, InFolder(folder, candidate));
      if (naming == Naming::Taken) ++k;
    }
    if (naming != Naming::Named) ::unlink(temporary.c_str());
    // The temporary file went first, so that a disk with room for one copy of the bytes
    // still takes them.
    if (naming == Naming::Unsupported) {
      for (naming = Naming::Taken; naming == Naming::Taken && !(candidate = nameFor(k)).empty(); ++k)
        naming = WriteInPlace(InFolder(folder, candidate), bytes);
    }
    if (naming == Naming::Named) {
      SyncFolder(folder.empty() ? "." : folder);
      name = candidate;
      return NewFileResult::Written;
    }
  }
  if (naming != Naming::Taken) return NewFileResult::Failed;
  FileErrno = EEXIST;
  return NewFileResult::NoNameFree;
}

void ReleaseFreedMemory() { ::malloc_trim(0); }

bool AppendToFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool ok = WriteAll(fd, path, bytes.data(), bytes.size());
  return (::close(fd) == 0) && ok;
}

// ---- files and folders ----

std::string FileVersion(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" + std::to_string(info.st_size) + ":" +
         std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
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
