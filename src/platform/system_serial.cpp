// System part: serial ports on termios.
//
// Parts in reading order: port names ("COM<n>" to a device path), the port table with
// one mutex per port, opening (raw 8N1, non-blocking, exclusive), closing, the checks
// for a vanished device, reading and the wait for bytes, and writing with the bytes
// kept for a device that does not read.
//
// Every call on a port holds that port's mutex while it uses the descriptor, so a close
// from another thread waits until the call is done and no call ever sees a closed or
// reused descriptor. No call waits for the device with the mutex held: a write hands
// the driver what it takes at once and keeps the rest in the port's slot, in order,
// for later calls to send on, so a device that stops reading holds no caller up. The
// wait for bytes polls the descriptor without the mutex and never uses it otherwise: a
// close meanwhile leaves the wait holding the closed port (locked against other
// openers) until it ends, and a new file given the same number only ends it early.
//
// Once the emergency block has been written no port takes another byte: a write fails
// and the kept bytes are dropped, so that nothing can follow the block.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/serial_names.h"
#include "platform/system.h"

namespace zolt::platform {

// ---- port names ----

namespace {

// The number after `prefix` when `name` is the prefix followed by digits only, without
// a leading zero; -1 otherwise.
long NumberAfter(const std::string& name, const char* prefix) {
  const size_t length = std::strlen(prefix);
  if (name.size() <= length || name.compare(0, length, prefix) != 0) return -1;
  if (name[length] == '0' && name.size() > length + 1) return -1;
  if (name.size() - length > 9) return -1;
  long number = 0;
  for (size_t i = length; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

}  // namespace

int ComPortNumber(const std::string& name) {
  const long number = NumberAfter(name, "COM");
  return number >= 1 ? static_cast<int>(number) : 0;
}

std::vector<std::string> OrderUsbSerialDevices(const std::vector<std::string>& names) {
  std::vector<std::string> ordered;
  for (const char* prefix : {"ttyACM", "ttyUSB"}) {
    std::vector<std::pair<long, std::string>> found;
    for (const std::string& name : names) {
      const long number = NumberAfter(name, prefix);
      if (number >= 0) found.emplace_back(number, name);
    }
    std::sort(found.begin(), found.end());
    for (const auto& entry : found) ordered.push_back("/dev/" + entry.second);
  }
  return ordered;
}

std::string ResolveSerialPortName(const std::string& name) {
  const int number = ComPortNumber(name);
  if (number == 0) return "";
  // The working folder's own entry wins, even when it is a link that leads nowhere:
  // opening it then fails instead of silently taking another device.
  const std::string entry = "ports/" + name;
  struct stat info {};
  if (::lstat(entry.c_str(), &info) == 0) return entry;

  std::vector<std::string> names;
  if (DIR* folder = ::opendir("/dev")) {
    while (const dirent* item = ::readdir(folder)) names.emplace_back(item->d_name);
    ::closedir(folder);
  }
  const std::vector<std::string> devices = OrderUsbSerialDevices(names);
  if (static_cast<size_t>(number) > devices.size()) return "";
  return devices[static_cast<size_t>(number) - 1];
}

// ---- the port table ----

namespace {

struct SerialSlot {
  std::mutex Lock;
  int Fd = -1;                // -1 while closed
  std::vector<uint8_t> Kept;  // bytes written that the driver has not taken yet, in order
};

SerialSlot SerialSlots[MaxSerialPorts];

thread_local std::string SerialErrorText;

void NoteSerialError(int error) {
  char buffer[256];
  SerialErrorText = ::strerror_r(error, buffer, sizeof buffer);
}

bool ValidPort(int port) { return port >= 0 && port < MaxSerialPorts; }

// Errors after which the device is gone for good (unplugged, or the far end of a
// pseudo-terminal closed).
bool MeansVanished(int error) {
  return error == EIO || error == ENXIO || error == ENODEV;
}

// Closes the slot's descriptor. Bytes the driver has passed on stay passed on (a
// pseudo-terminal's far end still reads them); bytes the driver still holds for the
// device and bytes kept in the slot are dropped, so that a device that stopped reading
// cannot hold the close up (a closing terminal waits for its output to leave). Callers
// that want every byte sent drain the port first. Unread bytes are dropped. The slot's
// mutex is held.
void CloseLocked(SerialSlot& slot) {
  if (slot.Fd < 0) return;
  int queued = 0;
  const bool driverHolds = ::ioctl(slot.Fd, TIOCOUTQ, &queued) != 0 || queued > 0;
  ::tcflush(slot.Fd, driverHolds ? TCIOFLUSH : TCIFLUSH);
  slot.Kept.clear();
  // The exclusive mark lives with the terminal, not with this descriptor: clear it, or
  // a pseudo-terminal could not be opened again while its other end stays open.
  ::ioctl(slot.Fd, TIOCNXCL);
  ::close(slot.Fd);
  slot.Fd = -1;
}

// True (and the port closed) when the device has hung up. The slot's mutex is held.
bool VanishedLocked(SerialSlot& slot) {
  if (slot.Fd < 0) return true;
  pollfd check{slot.Fd, 0, 0};
  if (::poll(&check, 1, 0) > 0 && (check.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    CloseLocked(slot);
    return true;
  }
  return false;
}

bool BaudSpeed(int baud, speed_t& speed) {
  static const std::pair<int, speed_t> Speeds[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},
      {150, B150},         {200, B200},         {300, B300},         {600, B600},
      {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
      {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
      {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
      {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
      {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
      {3500000, B3500000}, {4000000, B4000000}};
  for (const auto& row : Speeds) {
    if (row.first == baud) {
      speed = row.second;
      return true;
    }
  }
  return false;
}

// Opens and sets up the device; returns the descriptor, or -1 with errno set.
int OpenDevice(const std::string& path, speed_t speed) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  int error = 0;
  termios settings {};
  if (!::isatty(fd)) {
    error = ENOTTY;
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Held by another descriptor: this program's other port, or another program.
    error = EBUSY;
  } else if (::ioctl(fd, TIOCEXCL) != 0 || ::tcgetattr(fd, &settings) != 0) {
    error = errno;
  } else {
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | CSTOPB | PARENB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
        ::tcsetattr(fd, TCSANOW, &settings) != 0) {
      error = errno;
    }
  }
  if (error != 0) {
    // Only clear the exclusive mark when this descriptor holds the port.
    if (error != EBUSY) ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    errno = error;
    return -1;
  }
  ::tcflush(fd, TCIOFLUSH);
  return fd;
}

}  // namespace

// ---- open and close ----

bool OpenSerialPort(int port, const std::string& name, int baud) {
  if (!ValidPort(port)) {
    NoteSerialError(EINVAL);
    return false;
  }
  SerialSlot& slot = SerialSlots[port];
  std::lock_guard lock(slot.Lock);
  CloseLocked(slot);
  const std::string path = (!name.empty() && name[0] == '/') ? name : ResolveSerialPortName(name);
  if (path.empty()) {
    NoteSerialError(ENOENT);
    return false;
  }
  speed_t speed = B0;
  if (!BaudSpeed(baud, speed)) {
    NoteSerialError(EINVAL);
    return false;
  }
  const int fd = OpenDevice(path, speed);
  if (fd < 0) {
    NoteSerialError(errno);
    return false;
  }
  slot.Fd = fd;
  return true;
}

void CloseSerialPort(int port) {
  if (!ValidPort(port)) return;
  SerialSlot& slot = SerialSlots[port];
  std::lock_guard lock(slot.Lock);
  CloseLocked(slot);
}

int SerialPortDescriptor(int port) {
  if (!ValidPort(port)) return -1;
  SerialSlot& slot = SerialSlots[port];
  std::lock_guard lock(slot.Lock);
  return slot.Fd;
}

bool IsSerialPortOpen(int port) {
  if (!ValidPort(port)) return false;
  SerialSlot& slot = SerialSlots[port];
  std::lock_guard lock(slot.Lock);
  return !VanishedLocked(slot);
}

// ---- reading ----

int SerialBytesWaiting(int port) {
  if (!ValidPort(port)) return 0;
  SerialSlot& slot = SerialSlots[port];
  std::lock_guard lock(slot.Lock);
  if (slot.Fd < 0) return 0;
  int waiting = 0;
  if (::ioctl(slot.Fd, FIONREAD, &waiting) != 0) {
    const int error = errno;
    NoteSerialError(error);
    if (MeansVanished(error)) CloseLocked(slot);
    return 0;
  }
  return waiting;
}

int ReadSerialPort(int port, void* buffer, int count) {
  if (!ValidPort(port) || buffer == nullptr || count <= 0) return 0;
  SerialSlot& slot = SerialSlots[port];
  std::lock_guard lock(slot.Lock);
  if (slot.Fd < 0) return 0;
  for (;;) {
    const ssize_t got = ::read(slot.Fd, buffer, static_cast<size_t>(count));
    if (got > 0) return static_cast<int>(got);
    const int error = got < 0 ? errno : 0;
    if (error == EINTR) continue;
    if (error != 0 && error != EAGAIN) {
      NoteSerialError(error);
      if (MeansVanished(error)) CloseLocked(slot);
      return 0;
    }
    // Nothing to read: either nothing came, or the device hung up (a hung-up terminal
    // reads as empty).
    if (VanishedLocked(slot)) NoteSerialError(EIO);
    return 0;
  }
}

bool WaitSerialReadable(int port, int timeoutMs) {
  if (!ValidPort(port)) return false;
  SerialSlot& slot = SerialSlots[port];
  // The slot's mutex is not held while waiting, so a close from another thread never
  // has to wait (see the top of the file).
  int fd = -1;
  {
    std::lock_guard lock(slot.Lock);
    if (slot.Fd < 0) return false;
    fd = slot.Fd;
  }
  pollfd ready{fd, POLLIN, 0};
  const int64_t deadline = ElapsedMilliseconds() + std::max(timeoutMs, 0);
  int result = 0;
  for (;;) {
    const int64_t left = std::max<int64_t>(deadline - ElapsedMilliseconds(), 0);
    result = ::poll(&ready, 1, static_cast<int>(left));
    if (result >= 0 || errno != EINTR) break;
  }
  return result > 0 && (ready.revents & POLLIN) != 0;
}

// ---- writing, and the bytes kept for a device that does not read ----

namespace {

// Writes what the driver takes of `count` bytes now; the count written, or -1 when the
// port failed (closed when its device vanished). The slot's mutex is held.
int WriteNowLocked(SerialSlot& slot, const uint8_t* bytes, size_t count) {
  size_t written = 0;
  while (written < count) {
    const ssize_t put = ::write(slot.Fd, bytes + written, count - written);
    if (put > 0) {
      written += static_cast<size_t>(put);
      continue;
    }
    const int error = put < 0 ? errno : EAGAIN;
    if (error == EINTR) continue;
    if (error == EAGAIN) break;
    NoteSerialError(error);
    if (MeansVanished(error)) CloseLocked(slot);
    return -1;
  }
  return static_cast<int>(written);
}

// Sends on what the driver takes of the kept bytes (drops them once the ports are
// sealed); false when the port failed. The slot's mutex is held.
bool SendKeptLocked(SerialSlot& slot) {
  if (SerialPortsSealed()) slot.Kept.clear();
  if (slot.Kept.empty()) return true;
  const int sent = WriteNowLocked(slot, slot.Kept.data(), slot.Kept.size());
  if (sent < 0) return false;
  slot.Kept.erase(slot.Kept.begin(), slot.Kept.begin() + sent);
  return true;
}

}  // namespace

int WriteSerialPort(int port, const void* data, int count) {
  if (!ValidPort(port) || data == nullptr || count <= 0) return 0;
  SerialSlot& slot = SerialSlots[port];
  std::lock_guard lock(slot.Lock);
  if (slot.Fd < 0) {
    NoteSerialError(EBADF);
    return 0;
  }
  if (!SendKeptLocked(slot)) return 0;
  if (SerialPortsSealed()) {
    NoteSerialError(ECANCELED);
    return 0;
  }
  if (slot.Kept.size() + static_cast<size_t>(count) > MaxKeptSerialBytes) {
    NoteSerialError(ENOBUFS);
    return 0;
  }
  // New bytes go behind the kept ones, never past them.
  const auto* bytes = static_cast<const uint8_t*>(data);
  int written = 0;
  if (slot.Kept.empty()) {
    written = WriteNowLocked(slot, bytes, static_cast<size_t>(count));
    if (written < 0) return 0;
  }
  slot.Kept.insert(slot.Kept.end(), bytes + written, bytes + count);
  return count;
}

int SendKeptSerialBytes(int port) {
  if (!ValidPort(port)) return 0;
  SerialSlot& slot = SerialSlots[port];
  std::lock_guard lock(slot.Lock);
  if (slot.Fd < 0) return 0;
  SendKeptLocked(slot);
  return static_cast<int>(slot.Kept.size());
}

bool DrainSerialOutput(int port, int timeoutMs) {
  if (!ValidPort(port)) return false;
  SerialSlot& slot = SerialSlots[port];
  const int64_t deadline = ElapsedMilliseconds() + std::max(timeoutMs, 0);
  for (;;) {
    {
      std::lock_guard lock(slot.Lock);
      if (slot.Fd < 0 || !SendKeptLocked(slot)) return false;
      int queued = 0;
      if (slot.Kept.empty() && (::ioctl(slot.Fd, TIOCOUTQ, &queued) != 0 || queued == 0)) return true;
    }
    if (ElapsedMilliseconds() >= deadline) return false;
    Delay(2);
  }
}

std::string LastSerialError() { return SerialErrorText; }

}  // namespace zolt::platform
