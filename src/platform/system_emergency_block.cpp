// System part: the emergency block, kept for an open serial port and written to it by
// the handlers that run when the program is about to end without leaving the
// instrument safe itself.
//
// Parts in reading order: the two copies of the block, arming and disarming, taking the
// published copy, and the write.
//
// Arming happens in the program's ordinary run; the write may come from a signal handler,
// in any thread, at any moment, the arming thread included. So the block is kept twice:
// arming fills the copy that is not published and then publishes it by its index, and the
// write reads the published copy. Each copy carries a sequence number, odd while the copy
// is filled: a read that sees it change (a second arming began to refill that copy) reads
// again. Every word of a copy is an atomic, so a read beside a refill is no data race.
//
// With the port's descriptor the copy keeps the identity of the device it leads to (as
// fstat gives it): the block goes out only while the descriptor still leads there, so a
// port closed meanwhile, its descriptor number taken by another file, never receives it.
//
// The block is the last word to the instrument: once its write begins, the serial ports
// take nothing more (see SerialPortsSealed), so that bytes kept for a device slow to read,
// or a block another thread sends while the crash report waits, never follow it.
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/serial_names.h"
#include "platform/system.h"

namespace zolt::platform {

namespace {

// ---- the two copies ----

constexpr int BlockWords = MaxEmergencyBlockBytes / 8;

struct BlockCopy {
  std::atomic<uint32_t> Sequence{0};  // odd while the copy is filled
  std::atomic<int> Fd{-1};
  std::atomic<uint64_t> Device{0};  // st_dev, st_ino and st_rdev of the port's device
  std::atomic<uint64_t> Inode{0};
  std::atomic<uint64_t> Special{0};
  std::atomic<int> Count{0};
  std::atomic<uint64_t> Words[BlockWords] = {};
};

BlockCopy Copies[2];
std::atomic<int> Published{-1};  // index of the copy in force, -1 none
std::mutex ArmingLock;           // one arming at a time (never taken by the write)
std::atomic<bool> Writing{false};
std::atomic<bool> Sealed{false};

static_assert(std::atomic<uint64_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "read inside a signal handler");

constexpr int WriteWaitMs = 500;
constexpr int RewriteWaitMs = 100;  // for the block again, once the driver's queue is dropped

bool SameDevice(const BlockCopy& copy, const struct stat& info) {
  return copy.Device.load() == static_cast<uint64_t>(info.st_dev) &&
         copy.Inode.load() == static_cast<uint64_t>(info.st_ino) &&
         copy.Special.load() == static_cast<uint64_t>(info.st_rdev);
}

}  // namespace

// ---- arming and disarming ----

void ArmEmergencyBlock(int port, const void* bytes, int count) {
  std::lock_guard lock(ArmingLock);
  const int fd = SerialPortDescriptor(port);
  struct stat info {};
  if (bytes == nullptr || count <= 0 || count > MaxEmergencyBlockBytes || fd < 0 || ::fstat(fd, &info) != 0) {
    Published.store(-1);
    return;
  }
  const int next = Published.load() == 0 ? 1 : 0;
  BlockCopy& copy = Copies[next];
  copy.Sequence.fetch_add(1);
  copy.Fd.store(fd);
  copy.Device.store(static_cast<uint64_t>(info.st_dev));
  copy.Inode.store(static_cast<uint64_t>(info.st_ino));
  copy.Special.store(static_cast<uint64_t>(info.st_rdev));
  copy.Count.store(count);
  for (int w = 0; w * 8 < count; ++w) {
    uint64_t word = 0;
    const int length = count - w * 8 < 8 ? count - w * 8 : 8;
    std::memcpy(&word, static_cast<const char*>(bytes) + w * 8, static_cast<size_t>(length));
    copy.Words[w].store(word);
  }
  copy.Sequence.fetch_add(1);
  Published.store(next);
}

void DisarmEmergencyBlock() {
  std::lock_guard lock(ArmingLock);
  Published.store(-1);
}

namespace {

// ---- taking the published copy ----

// The published block, whole, into `bytes`; false when none is kept or its port no
// longer leads to the device it was armed for.
bool TakePublished(char (&bytes)[MaxEmergencyBlockBytes], int& count, int& fd) {
  // A copy changes under the read only when two armings begin meanwhile: a few tries do.
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int index = Published.load();
    if (index < 0) return false;
    const BlockCopy& copy = Copies[index];
    const uint32_t before = copy.Sequence.load();
    if ((before & 1) != 0) continue;
    fd = copy.Fd.load();
    count = copy.Count.load();
    for (int w = 0; w * 8 < count; ++w) {
      const uint64_t word = copy.Words[w].load();
      std::memcpy(bytes + w * 8, &word, static_cast<size_t>(count - w * 8 < 8 ? count - w * 8 : 8));
    }
    struct stat info {};
    const bool same = ::fstat(fd, &info) == 0 && SameDevice(copy, info);
    if (copy.Sequence.load() == before) return same;
  }
  return false;
}

int64_t NowMs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// Writes all the bytes to the non-blocking descriptor, waiting for room until the
// deadline. True when the deadline passed before the device took them all (false when
// it took them, or the port failed).
bool WriteUntil(int fd, const char* bytes, int count, int64_t deadline) {
  while (count > 0) {
    const ssize_t put = ::write(fd, bytes, static_cast<size_t>(count));
    if (put > 0) {
      bytes += put;
      count -= static_cast<int>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno != EAGAIN) return false;
    const int64_t left = deadline - NowMs();
    if (left <= 0) return true;
    pollfd room{fd, POLLOUT, 0};
    if (::poll(&room, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
    if ((room.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
  }
  return false;
}

}  // namespace

// ---- the write ----

bool SerialPortsSealed() { return Sealed.load(); }

void WriteEmergencyBlock() {
  const int savedErrno = errno;
  Sealed.store(true);
  const int64_t deadline = NowMs() + WriteWaitMs;
  if (Writing.exchange(true)) {
    // Another thread writes it (or this one, interrupted): let that write finish first.
    while (Writing.load() && NowMs() < deadline + RewriteWaitMs + 100) {
      const timespec pause{0, 1000000};
      ::nanosleep(&pause, nullptr);
    }
    errno = savedErrno;
    return;
  }
  char bytes[MaxEmergencyBlockBytes];
  int count = 0;
  int fd = -1;
  if (TakePublished(bytes, count, fd) && WriteUntil(fd, bytes, count, deadline)) {
    // The device has not read for half a second. What its driver still holds was written
    // before the block, which holds every register as it stands now: it gives way to it.
    ::tcflush(fd, TCOFLUSH);
    WriteUntil(fd, bytes, count, NowMs() + RewriteWaitMs);
  }
  Writing.store(false);
  errno = savedErrno;
}

}  // namespace zolt::platform
