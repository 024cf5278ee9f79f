// Curve-tracer simulator, the port: pseudo-terminal, link, host presence, bytes.
#include "pty_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace zolt::kvrsim {

namespace {

std::string ErrorText(const std::string& what) { return what + ": " + std::strerror(errno); }

// A master end with its slave set raw; the slave is opened once for that and closed,
// so until the host opens it the master reads as hung up.
bool OpenRawPty(int& master, std::string& slaveName, std::string& error) {
  master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0) {
    error = ErrorText("cannot open a pseudo-terminal");
    return false;
  }
  char name[128];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    error = ErrorText("cannot prepare the pseudo-terminal");
    close(master);
    master = -1;
    return false;
  }
  slaveName = name;
  int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave < 0) {
    error = ErrorText("cannot open " + slaveName);
    close(master);
    master = -1;
    return false;
  }
  termios settings{};
  tcgetattr(slave, &settings);
  cfmakeraw(&settings);
  cfsetspeed(&settings, B115200);
  tcsetattr(slave, TCSANOW, &settings);
  close(slave);
  return true;
}

std::string LinkTarget(const std::string& path) {
  char target[4096];
  ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
  if (length < 0) return {};
  return std::string(target, static_cast<size_t>(length));
}

bool MayReplace(const std::string& path, std::string& error) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return true;
  if (!S_ISLNK(info.st_mode)) {
    error = path + " exists and is not a symbolic link; not replacing it";
    return false;
  }
  std::string target = LinkTarget(path);
  struct stat targetInfo {};
  bool dangling = stat(path.c_str(), &targetInfo) != 0;
  if (dangling || target.rfind("/dev/pts/", 0) == 0) return true;
  error = path + " links to " + target + ", which exists; remove the link first";
  return false;
}

// Points `path` at `target` in one step: a new link beside it, renamed over it.
bool PlaceLink(const std::string& target, const std::string& path, std::string& error) {
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
  std::string temporary = path + ".kvr-sim-" + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(target.c_str(), temporary.c_str()) != 0) {
    error = ErrorText("cannot create the link " + temporary);
    return false;
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = ErrorText("cannot place the link " + path);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

// ---- opening and closing ----

bool OpenPtyPort(PtyPort& port, const std::string& linkPath, std::string& error) {
  if (!MayReplace(linkPath, error)) return false;
  PtyPort fresh;
  fresh.linkPath = linkPath;
  if (!OpenRawPty(fresh.master, fresh.slaveName, error)) return false;
  if (!PlaceLink(fresh.slaveName, linkPath, error)) {
    close(fresh.master);
    return false;
  }
  port = fresh;
  return true;
}

void ClosePtyPort(PtyPort& port) {
  if (port.master < 0) return;
  if (LinkTarget(port.linkPath) == port.slaveName) unlink(port.linkPath.c_str());
  close(port.master);
  port.master = -1;
  port.hostPresent = false;
}

bool RenewPtyPort(PtyPort& port, std::string& error) {
  int master = -1;
  std::string slaveName;
  if (!OpenRawPty(master, slaveName, error)) return false;
  if (!PlaceLink(slaveName, port.linkPath, error)) {
    close(master);
    return false;
  }
  close(port.master);
  port.master = master;
  port.slaveName = slaveName;
  port.hostPresent = false;
  return true;
}

// ---- the host's presence ----

HostChange WatchHost(PtyPort& port) {
  if (port.master < 0) return HostChange::None;
  pollfd entry{port.master, POLLIN, 0};
  if (poll(&entry, 1, 0) < 0) return HostChange::None;
  bool present = (entry.revents & POLLHUP) == 0;
  if (present == port.hostPresent) return HostChange::None;
  port.hostPresent = present;
  return present ? HostChange::Opened : HostChange::Closed;
}

// ---- bytes ----

size_t ReadFromHost(PtyPort& port, uint8_t* buffer, size_t capacity) {
  if (port.master < 0) return 0;
  ssize_t count = read(port.master, buffer, capacity);
  return count > 0 ? static_cast<size_t>(count) : 0;
}

size_t WriteToHost(PtyPort& port, const uint8_t* bytes, size_t count) {
  if (port.master < 0 || count == 0) return 0;
  ssize_t written = write(port.master, bytes, count);
  return written > 0 ? static_cast<size_t>(written) : 0;
}

}  // namespace zolt::kvrsim
