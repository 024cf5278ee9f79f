// The USB transport through the D2XX library. Built twice: beside a test library that
// records its calls (ZOLT_D2XX_BESIDE 1), and with no library anywhere (0).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

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

std::string CallLog() {
  auto log = reinterpret_cast<const char* (*)()>(
      platform::LibraryFunction(UsbLibraryNumber, "FakeD2xxCallLog"));
  return log != nullptr ? log() : "";
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
  ::setenv("FAKE_FT_OPEN_RESULT", "0", 1);
  OpenUsbLink(1000000);
  ::unsetenv("FAKE_FT_OPEN_RESULT");
  EXPECT_EQ(LinkState.Connected.load(), 1);
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

#endif

}  // namespace
}  // namespace zolt::link
