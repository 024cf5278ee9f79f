// Tests of the kvr-sim program itself: started on a temporary link, it must serve
// frames through the pseudo-terminal, take commands, survive the host closing the
// port, and take its link away when it ends.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "registers.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"
#include "support/wait_for.h"
#include "wire.h"

namespace zolt::kvrsim {
namespace {

using Clock = std::chrono::steady_clock;
using zolt::testing::SimulatorProcess;
using zolt::testing::WaitFor;

bool LinkExists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

int OpenPort(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd >= 0) {
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);
  }
  return fd;
}

// Reads frames for up to `ms`, until `until` accepts one; counts frames with a good checksum.
struct FrameReader {
  explicit FrameReader(int port) : fd(port) {}
  int fd;
  std::vector<uint8_t> pending;
  int good = 0;
  int bad = 0;

  bool ReadUntil(const std::function<bool(const StatusFrame&)>& until, int ms) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      pollfd entry{fd, POLLIN, 0};
      poll(&entry, 1, 20);
      uint8_t bytes[1024];
      ssize_t count = read(fd, bytes, sizeof bytes);
      if (count > 0) pending.insert(pending.end(), bytes, bytes + count);
      while (pending.size() >= FrameBytes) {
        StatusFrame frame;
        if (DecodeStatusFrame(pending.data(), frame)) {
          ++good;
          pending.erase(pending.begin(), pending.begin() + FrameBytes);
          if (until(frame)) return true;
        } else {
          ++bad;
          pending.erase(pending.begin());
        }
      }
    }
    return false;
  }
};

void Send(int fd, uint16_t address, uint32_t value) {
  auto packet = EncodeRegisterPacket({.write = true, .address = address, .value = value});
  ASSERT_EQ(write(fd, packet.data(), packet.size()), static_cast<ssize_t>(packet.size()));
}

TEST(KvrSimProcess, ServesFramesThroughItsLinkAndRemovesItAtTheEnd) {
  zolt::testing::TempFolder folder;
  SimulatorProcess sim;
  ASSERT_TRUE(sim.Start({"--link", "ports/COM1", "--frame-ms", "2", "--hv-rise-frames", "3"}));
  ASSERT_TRUE(sim.WaitForLink("ports/COM1"));

  int fd = OpenPort("ports/COM1");
  ASSERT_GE(fd, 0);
  FrameReader reader(fd);
  EXPECT_TRUE(reader.ReadUntil([&reader](const StatusFrame&) { return reader.good >= 20; }, 2000));
  EXPECT_EQ(reader.bad, 0);

  Send(fd, RegCommand, CommsEnableBit | HighVoltageStartBit);
  EXPECT_TRUE(reader.ReadUntil([](const StatusFrame& f) { return (f.statusWord & HighVoltageOnBit) != 0; }, 2000));
  close(fd);

  // A closed port opens again behind the same link, and the instrument kept its state.
  ASSERT_TRUE(WaitFor(
      [] {
        int again = OpenPort("ports/COM1");
        if (again < 0) return false;
        FrameReader second(again);
        bool on = second.ReadUntil([](const StatusFrame& f) { return (f.statusWord & HighVoltageOnBit) != 0; }, 500);
        close(again);
        return on;
      },
      3000));

  const int status = sim.Stop();
  ASSERT_NE(status, SimulatorProcess::NotWaited);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(LinkExists("ports/COM1"));
}

TEST(KvrSimProcess, LogsEveryPacketItReceives) {
  zolt::testing::TempFolder folder;
  SimulatorProcess sim;
  ASSERT_TRUE(sim.Start({"--link", "COM1", "--log-packets", "packets.txt"}));
  ASSERT_TRUE(sim.WaitForLink("COM1"));
  int fd = OpenPort("COM1");
  ASSERT_GE(fd, 0);
  Send(fd, RegSampleInterval, 469);
  auto poll = EncodeRegisterPacket({.write = false, .address = 0, .value = 0});
  auto damaged = EncodeRegisterPacket({.write = true, .address = RegCommand, .value = 4});
  damaged[7] ^= 0xFF;
  ASSERT_EQ(write(fd, poll.data(), poll.size()), 8);
  ASSERT_EQ(write(fd, damaged.data(), damaged.size()), 8);
  Send(fd, RegCommand, CommsEnableBit);

  const std::string expected =
      " write 2 469 good\n request 0 0 good\n write 1 4 bad 80 01 00 00 00 04 d5 a5\n write 1 65536 good\n";
  // Each line without its time stamp.
  std::string log;
  auto withoutTimes = [&log] {
    std::string text;
    for (size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
      const size_t blank = log.find(' ', at);
      text += log.substr(blank, end + 1 - blank);
    }
    return text;
  };
  EXPECT_TRUE(WaitFor(
      [&] {
        log = zolt::testing::ReadFile("packets.txt");
        return withoutTimes() == expected;
      },
      5000))
      << log;
  close(fd);
}

TEST(KvrSimProcess, HangsUpOnRequest) {
  zolt::testing::TempFolder folder;
  SimulatorProcess sim;
  ASSERT_TRUE(sim.Start({"--link", "COM7", "--frame-ms", "2", "--hangup-after", "400"}));
  ASSERT_TRUE(sim.WaitForLink("COM7"));
  int fd = OpenPort("COM7");
  ASSERT_GE(fd, 0);
  // The host sees the far end go: a hang-up on the port.
  bool hungUp = WaitFor(
      [fd] {
        pollfd entry{fd, POLLIN, 0};
        poll(&entry, 1, 10);
        uint8_t scratch[256];
        while (read(fd, scratch, sizeof scratch) > 0) {
        }
        return (entry.revents & (POLLHUP | POLLERR)) != 0;
      },
      5000);
  EXPECT_TRUE(hungUp);
  close(fd);
  ASSERT_NE(sim.Wait(), SimulatorProcess::NotWaited);
  EXPECT_FALSE(LinkExists("COM7"));
}

TEST(KvrSimProcess, ReplacesAStaleLinkButLeavesOtherFilesAlone) {
  zolt::testing::TempFolder folder;
  zolt::testing::MakeFolder("ports");
  ASSERT_EQ(symlink("/dev/pts/99999", "ports/COM1"), 0);  // left by a simulator that died
  SimulatorProcess sim;
  ASSERT_TRUE(sim.Start({"--link", "ports/COM1", "--hangup-after", "300"}));
  int status = sim.Wait();
  ASSERT_NE(status, SimulatorProcess::NotWaited);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(LinkExists("ports/COM1"));

  zolt::testing::WriteFile("ports/COM2", "notes");
  SimulatorProcess refused;
  ASSERT_TRUE(refused.Start({"--link", "ports/COM2"}));
  status = refused.Wait();
  ASSERT_NE(status, SimulatorProcess::NotWaited);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_EQ(zolt::testing::ReadFile("ports/COM2"), "notes");
}

}  // namespace
}  // namespace zolt::kvrsim
