// The USB transport through the D2XX library. Built twice: beside a test library that
// records its calls (ZOLT_D2XX_BESIDE 1), and with no library anywhere (0).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>

#include "link/d2xx.h"
#include "link/link_state.h"
#include "link/registers.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "support/temp_folder.h"

namespace zolt::link {
namespace {

class UsbLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    LinkState.Connected = 0;
    LinkState.UsbHandle = nullptr;
  }
  const std::vector<platform::headless::ShownMessage>& Shown() {
    return platform::headless::MessagesShown();
  }
  zolt::testing::TempFolder folder_;
};

#if ZOLT_D2XX_BESIDE

std::string FakeText(const char* name) {
  auto text = reinterpret_cast<const char* (*)()>(platform::LibraryFunction(UsbLibraryNumber, name));
  return text != nullptr ? text() : "";
}
std::string CallLog() { return FakeText("FakeD2xxCallLog"); }

// Opens the device of the test library.
void OpenDevice() {
  ::setenv("FAKE_FT_OPEN_RESULT", "0", 1);
  OpenUsbLink(1000000);
  ::unsetenv("FAKE_FT_OPEN_RESULT");
  ASSERT_EQ(LinkState.Connected.load(), 1);
}

TEST_F(UsbLinkTest, AFailedOpenIsReportedAndConfiguresNothing) {
  ::unsetenv("FAKE_FT_OPEN_RESULT");
  for (const int before : {0, 1}) {
    LinkState.Connected = before;
    const std::string calls = CallLog();
    OpenUsbLink(1000000);
    EXPECT_EQ(LinkState.Connected.load(), before);
    EXPECT_EQ(CallLog().substr(calls.size()),
              "FT_CreateDeviceInfoList;FT_SetVIDPID(403,6015);FT_CreateDeviceInfoList;"
              "FT_Open(0);");
  }
  ASSERT_EQ(Shown().size(), 2u);
  EXPECT_EQ(Shown()[0].Title, "ERROR - USB/COM service unable to start");
  EXPECT_EQ(Shown()[0].Text,
            "Check instrument is connected via USB and COM port number is correct.");
}

TEST_F(UsbLinkTest, OpenConfigureWriteAndCloseOnce) {
  OpenDevice();
  EXPECT_NE(LinkState.UsbHandle, nullptr);
  EXPECT_TRUE(Shown().empty());
  std::string calls = CallLog();
  EXPECT_NE(calls.find("FT_Open(0);FT_SetBaudRate(1,1000000);FT_SetDataCharacteristics(8,0,0);"
                       "FT_SetFlowControl(0,0,0);FT_SetUSBParameters(32768,32768);"),
            std::string::npos)
      << calls;

  RegisterImage[2] = 7;
  WriteRegisterBlock(1, 2, 0);
  EXPECT_NE(CallLog().find("FT_Write(1,16,1);"), std::string::npos) << CallLog();

  CloseUsbLink();
  EXPECT_EQ(LinkState.Connected.load(), 0);
  CloseUsbLink();
  calls = CallLog();
  EXPECT_EQ(calls.find("FT_Close(1);"), calls.rfind("FT_Close(1);"));  // closed once
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].Title, "Info - Comms not running");
  EXPECT_EQ(Shown()[0].Text, "Comms not running..");
}

TEST_F(UsbLinkTest, CellsComeBackWhateverTheLibrarysIntegerWidthAndMissingCallsAreZero) {
  OpenDevice();
  uint32_t rx = 1, tx = 1, events = 1;
  EXPECT_EQ(FtGetStatus(LinkState.UsbHandle, &rx, &tx, &events), FtOk);
  EXPECT_EQ(rx, 30u);
  EXPECT_EQ(tx, 0xFFFFFFFFu);
  EXPECT_EQ(events, 0u);
  EXPECT_EQ(FtReadEE(LinkState.UsbHandle, 0x1A5, &LinkState.EepromWordBuffer[0]), FtOk);
  EXPECT_EQ(LinkState.EepromWordBuffer[0], 0xBEA5);
  EXPECT_NE(CallLog().find("FT_ReadEE(1,421);"), std::string::npos);
  // FT_Read and FT_WriteEE are not in this library: skipped, result 0, nothing read; but
  // an EEPROM write that was never made is no success.
  uint8_t bytes[4] = {7, 7, 7, 7};
  uint32_t got = 9;
  EXPECT_EQ(FtRead(LinkState.UsbHandle, bytes, 4, &got), FtOk);
  EXPECT_EQ(bytes[0], 7);
  EXPECT_EQ(FtWriteEE(LinkState.UsbHandle, 200, 0x1234), FtNotInLibrary);
  CloseUsbLink();
}

// The comms thread polls while the main thread sends the control registers, each without
// a lock: every write must still be exactly one whole packet of its sender.
TEST_F(UsbLinkTest, PollsAndControlWritesFromTwoThreadsDoNotMix) {
  OpenDevice();
  RegisterImage[1] = 0x10000;
  RegisterImage[2] = 469;
  auto clear = reinterpret_cast<void (*)()>(
      platform::LibraryFunction(UsbLibraryNumber, "FakeD2xxClearWrites"));
  ASSERT_NE(clear, nullptr);
  clear();
  std::atomic<bool> done{false}, polling{false};
  std::thread poller([&] {
    for (int64_t now = LinkState.LastPollTime + 250; !done; now += 250) {
      PollInstrumentIfDue(250, 0, now);
      polling = true;
    }
  });
  while (!polling) std::this_thread::yield();  // the writes start once the polls have
  constexpr int Rounds = 3000;
  for (int i = 0; i < Rounds; ++i) {
    WriteRegisterBlock(1, 1, 0);
    WriteRegisterBlock(2, 1, 0);
  }
  done = true;
  poller.join();

  std::istringstream writes(FakeText("FakeD2xxWrites"));
  int polls = 0, register1 = 0, register2 = 0;
  for (std::string write; std::getline(writes, write, ';');) {
    if (write == "0000000000005555") {
      ++polls;
    } else if (write == "800100010000D557") {
      ++register1;
    } else if (write == "8002000001D5D72C") {
      ++register2;
    } else {
      ADD_FAILURE() << "unexpected write " << write;
    }
  }
  EXPECT_EQ(register1, Rounds);
  EXPECT_EQ(register2, Rounds);
  EXPECT_GT(polls, 0);
  CloseUsbLink();
}

#else

TEST_F(UsbLinkTest, AMissingLibraryIsReported) {
  LinkState.Connected = 1;
  OpenUsbLink(1000000);
  EXPECT_EQ(LinkState.Connected.load(), 0);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].Title, "Error - FTD2XX.DLL");
  EXPECT_EQ(Shown()[0].Text, "FTD2XX.DLL failed to open.");
  const std::string log = zolt::testing::ReadFile("log.txt");
  EXPECT_NE(log.find("] Error,FTD2XX.DLL,FTD2XX.DLL failed to open."), std::string::npos);
}

// A library that loads but has no FT_Open (here the maths library) opens no device.
TEST_F(UsbLinkTest, ALibraryWithoutFtOpenOpensNothing) {
  ASSERT_TRUE(platform::OpenLibrary(UsbLibraryNumber, "libm.so.6"));
  OpenUsbLink(1000000);
  platform::CloseLibrary(UsbLibraryNumber);
  EXPECT_EQ(LinkState.Connected.load(), 0);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].Title, "ERROR - USB/COM service unable to start");
}

#endif

}  // namespace
}  // namespace zolt::link
