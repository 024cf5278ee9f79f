// Test support: the pseudo-terminal link.
#include "support/pty_link.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace zolt::testing {

// The master end is non-blocking, so ReadWaiting can take what is there and a full port
// cannot hold a test up for good.
PtyLink::PtyLink(int comNumber) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return;
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    HangUp();
    return;
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  termios settings{};
  if (::tcgetattr(master_, &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(master_, TCSANOW, &settings);
  }
  const char* slave = ::ptsname(master_);
  std::filesystem::create_directories("ports");
  const std::string link = "ports/COM" + std::to_string(comNumber);
  std::error_code ec;
  std::filesystem::remove(link, ec);
  std::filesystem::create_symlink(slave, link, ec);
  if (ec) HangUp();
}

PtyLink::~PtyLink() { HangUp(); }

void PtyLink::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (master_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n == 0 || errno != EAGAIN) break;
    pollfd ready{master_, POLLOUT, 0};
    if (::poll(&ready, 1, 100) <= 0) break;
  }
}

std::vector<uint8_t> PtyLink::Read(size_t count, int timeoutMs) {
  std::vector<uint8_t> got;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (master_ >= 0 && got.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    uint8_t buffer[4096];
    const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
    if (n <= 0) {
      // EIO while the slave end is closed: wait for it to open again.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

std::vector<uint8_t> PtyLink::ReadWaiting() {
  std::vector<uint8_t> got;
  uint8_t buffer[4096];
  while (master_ >= 0) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

void PtyLink::HangUp() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

}  // namespace zolt::testing
