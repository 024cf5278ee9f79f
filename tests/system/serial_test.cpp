// Serial ports, driven through pseudo-terminals: the test holds the master end (the
// "instrument") and the port layer opens the slave end.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/serial_names.h"
#include "platform/system.h"
#include "support/temp_folder.h"

namespace zolt::platform {
namespace {

// One pseudo-terminal pair; the master end is closed on destruction unless already.
struct PseudoTerminal {
  int Master = -1;
  std::string SlavePath;

  PseudoTerminal() {
    Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0) return;
    ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
    SlavePath = ::ptsname(Master);
  }
  ~PseudoTerminal() { CloseMaster(); }
  void CloseMaster() {
    if (Master >= 0) ::close(Master);
    Master = -1;
  }
  // Reads exactly `count` bytes from the master end (1 s at most).
  std::string ReadMaster(size_t count) {
    std::string got;
    const int64_t deadline = ElapsedMilliseconds() + 1000;
    while (got.size() < count && ElapsedMilliseconds() < deadline) {
      pollfd ready{Master, POLLIN, 0};
      if (::poll(&ready, 1, 10) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(Master, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
};

// Waits (1 s at most) until the port has `count` bytes waiting.
bool WaitForBytes(int port, int count) {
  const int64_t deadline = ElapsedMilliseconds() + 1000;
  while (SerialBytesWaiting(port) < count) {
    if (ElapsedMilliseconds() > deadline) return false;
    Delay(1);
  }
  return true;
}

TEST(SerialNames, ComNumberTakesOnlyCanonicalNames) {
  EXPECT_EQ(ComPortNumber("COM1"), 1);
  EXPECT_EQ(ComPortNumber("COM12"), 12);
  EXPECT_EQ(ComPortNumber("COM99"), 99);
  EXPECT_EQ(ComPortNumber("COM0"), 0);
  EXPECT_EQ(ComPortNumber("COM07"), 0);
  EXPECT_EQ(ComPortNumber("COM"), 0);
  EXPECT_EQ(ComPortNumber("com3"), 0);
  EXPECT_EQ(ComPortNumber("COM3x"), 0);
  EXPECT_EQ(ComPortNumber("COM-3"), 0);
  EXPECT_EQ(ComPortNumber("COM99999999999"), 0);
}

TEST(SerialNames, AcmDevicesComeFirstEachInNumericOrder) {
  const std::vector<std::string> names = {"ttyUSB10", "ttyS0",  "ttyACM10", "ttyUSB2", "ttyACM2",
                                          "ttyACM",   "ttyACMx", "tty1",    "ttyUSB0", "ttyACM0"};
  const std::vector<std::string> expected = {"/dev/ttyACM0", "/dev/ttyACM2", "/dev/ttyACM10",
                                             "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10"};
  EXPECT_EQ(OrderUsbSerialDevices(names), expected);
  EXPECT_TRUE(OrderUsbSerialDevices({"ttyS0", "console"}).empty());
}

TEST(SerialNames, WorkingFolderEntryResolvesAndOpens) {
  testing::TempFolder folder;
  PseudoTerminal terminal;
  ASSERT_FALSE(terminal.SlavePath.empty());
  testing::MakeFolder("ports");
  ASSERT_EQ(::symlink(terminal.SlavePath.c_str(), "ports/COM7"), 0);
  ASSERT_EQ(::symlink("/nonexistent/device", "ports/COM8"), 0);

  EXPECT_EQ(ResolveSerialPortName("COM7"), "ports/COM7");
  // A dangling entry is still this folder's choice: the open fails, nothing else is taken.
  EXPECT_EQ(ResolveSerialPortName("COM8"), "ports/COM8");
  EXPECT_EQ(ResolveSerialPortName("COM07"), "");
  EXPECT_EQ(ResolveSerialPortName("ports/COM7"), "");

  ASSERT_TRUE(OpenSerialPort(27, "COM7", 115200)) << LastSerialError();
  EXPECT_TRUE(IsSerialPortOpen(27));
  CloseSerialPort(27);
  EXPECT_FALSE(IsSerialPortOpen(27));
  EXPECT_FALSE(OpenSerialPort(27, "COM8", 115200));
  EXPECT_FALSE(LastSerialError().empty());
}

class SerialPortTest : public ::testing::Test {
 protected:
  void TearDown() override {
    CloseSerialPort(1);
    CloseSerialPort(2);
  }
  PseudoTerminal terminal;
};

TEST_F(SerialPortTest, BytesPassUnchangedBothWays) {
  ASSERT_TRUE(OpenSerialPort(1, terminal.SlavePath, 115200)) << LastSerialError();
  EXPECT_EQ(SerialBytesWaiting(1), 0);
  char buffer[64];
  EXPECT_EQ(ReadSerialPort(1, buffer, sizeof buffer), 0);

  // Control characters a cooked terminal would act on: CR, LF, XON/XOFF, interrupt,
  // end of file, NUL and a byte with the top bit set.
  const std::string in("\r\n\x11\x13\x03\x04\x00\xFF\x7F", 9);
  ASSERT_EQ(::write(terminal.Master, in.data(), in.size()), static_cast<ssize_t>(in.size()));
  ASSERT_TRUE(WaitForBytes(1, 9));
  EXPECT_EQ(SerialBytesWaiting(1), 9);
  // Only what is asked for is read; the rest keeps waiting.
  ASSERT_EQ(ReadSerialPort(1, buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), in.substr(0, 4));
  EXPECT_EQ(SerialBytesWaiting(1), 5);
  ASSERT_EQ(ReadSerialPort(1, buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, 5), in.substr(4));

  const std::string out("\n\r\x00\x11\xFE", 5);
  EXPECT_EQ(WriteSerialPort(1, out.data(), static_cast<int>(out.size())), 5);
  EXPECT_EQ(terminal.ReadMaster(5), out);
}

TEST_F(SerialPortTest, OpenChecksBaudAndNumber) {
  EXPECT_TRUE(OpenSerialPort(1, terminal.SlavePath, 1000000)) << LastSerialError();
  CloseSerialPort(1);
  EXPECT_FALSE(OpenSerialPort(1, terminal.SlavePath, 12345));
  EXPECT_FALSE(LastSerialError().empty());
  EXPECT_FALSE(OpenSerialPort(-1, terminal.SlavePath, 115200));
  EXPECT_FALSE(OpenSerialPort(MaxSerialPorts, terminal.SlavePath, 115200));
  EXPECT_FALSE(OpenSerialPort(1, "/dev/null", 115200));  // not a terminal
  EXPECT_FALSE(IsSerialPortOpen(1));
  // Calls on closed or invalid ports do nothing.
  char byte = 0;
  EXPECT_EQ(ReadSerialPort(1, &byte, 1), 0);
  EXPECT_EQ(WriteSerialPort(1, &byte, 1), 0);
  EXPECT_EQ(SerialBytesWaiting(MaxSerialPorts), 0);
  CloseSerialPort(-1);
}

TEST_F(SerialPortTest, SecondOpenOfTheSameDeviceFailsUntilClosed) {
  ASSERT_TRUE(OpenSerialPort(1, terminal.SlavePath, 115200)) << LastSerialError();
  EXPECT_FALSE(OpenSerialPort(2, terminal.SlavePath, 115200));
  EXPECT_FALSE(LastSerialError().empty());
  EXPECT_TRUE(IsSerialPortOpen(1));
  // Opening the same number again closes the old port first, so it succeeds.
  EXPECT_TRUE(OpenSerialPort(1, terminal.SlavePath, 115200)) << LastSerialError();
  CloseSerialPort(1);
  EXPECT_TRUE(OpenSerialPort(2, terminal.SlavePath, 115200)) << LastSerialError();
}

TEST_F(SerialPortTest, ClosedFarEndMeansNoLongerOpen) {
  ASSERT_TRUE(OpenSerialPort(1, terminal.SlavePath, 115200)) << LastSerialError();
  ASSERT_TRUE(IsSerialPortOpen(1));
  terminal.CloseMaster();
  EXPECT_FALSE(IsSerialPortOpen(1));
  char buffer[8];
  EXPECT_EQ(ReadSerialPort(1, buffer, sizeof buffer), 0);
  EXPECT_EQ(WriteSerialPort(1, "x", 1), 0);
}

TEST_F(SerialPortTest, FarEndClosedFoundByReadAndWrite) {
  ASSERT_TRUE(OpenSerialPort(1, terminal.SlavePath, 115200)) << LastSerialError();
  terminal.CloseMaster();
  char buffer[8];
  EXPECT_EQ(ReadSerialPort(1, buffer, sizeof buffer), 0);
  EXPECT_FALSE(IsSerialPortOpen(1));

  PseudoTerminal other;
  ASSERT_TRUE(OpenSerialPort(2, other.SlavePath, 115200)) << LastSerialError();
  other.CloseMaster();
  EXPECT_EQ(WriteSerialPort(2, "abc", 3), 0);
  EXPECT_FALSE(IsSerialPortOpen(2));
}

// The wait for bytes: bytes waiting end it with true, its bound with false; a close and a
// new port opened meanwhile (which may take the same descriptor number) are left alone.
TEST_F(SerialPortTest, WaitForBytesLeavesAPortOpenedMeanwhileAlone) {
  ASSERT_TRUE(OpenSerialPort(1, terminal.SlavePath, 115200)) << LastSerialError();
  EXPECT_FALSE(WaitSerialReadable(1, 5));
  ASSERT_EQ(::write(terminal.Master, "x", 1), 1);
  EXPECT_TRUE(WaitSerialReadable(1, 10000));
  char buffer[8];
  ASSERT_EQ(ReadSerialPort(1, buffer, sizeof buffer), 1);

  std::thread waiter([] { WaitSerialReadable(1, 300); });
  Delay(20);
  CloseSerialPort(1);
  PseudoTerminal other;
  ASSERT_TRUE(OpenSerialPort(2, other.SlavePath, 115200)) << LastSerialError();
  waiter.join();
  EXPECT_FALSE(WaitSerialReadable(1, 5));  // closed
  EXPECT_EQ(WriteSerialPort(2, "ok", 2), 2);
  EXPECT_EQ(other.ReadMaster(2), "ok");
}

// A reader thread keeps using the port while the main thread closes and reopens it, as
// the settings window's port scan does to the link's port.
TEST_F(SerialPortTest, CloseFromAnotherThreadWhileReading) {
  ASSERT_TRUE(OpenSerialPort(1, terminal.SlavePath, 115200)) << LastSerialError();
  std::atomic<bool> stop{false};
  std::atomic<int> received{0};
  std::thread reader([&] {
    char buffer[64];
    while (!stop.load()) {
      if (IsSerialPortOpen(1) && SerialBytesWaiting(1) > 0) {
        received += ReadSerialPort(1, buffer, sizeof buffer);
      }
      WriteSerialPort(1, "p", 1);
    }
  });
  for (int round = 0; round < 50; ++round) {
    ::write(terminal.Master, "0123456789", 10);
    Delay(1);
    CloseSerialPort(1);
    ASSERT_TRUE(OpenSerialPort(1, terminal.SlavePath, 115200)) << LastSerialError();
    char drain[4096];
    while (::read(terminal.Master, drain, sizeof drain) > 0) {
    }
  }
  stop = true;
  reader.join();
  EXPECT_GT(received.load(), 0);
}

}  // namespace
}  // namespace zolt::platform
