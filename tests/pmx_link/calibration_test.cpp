// The power analyser's calibration: the two-point fits and the file behind them, the
// EEPROM area copied both ways, and the two control registers as the device receives them.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "link/d2xx.h"
#include "link/registers.h"
#include "sim_fixture.h"
#include "support/wait_for.h"

namespace zolt::link {
namespace {

using zolt::testing::ReadFile;
using zolt::testing::WaitFor;
using zolt::testing::WriteFile;

TEST(PmxFitTest, TwoPointFitsAndTheFileBehindThem) {
  const struct { const char* positive; const char* negative; double gain, offset; } fits[] = {
      {"300.000V,6000000", "-300.000V,-6000000", 5e-5, 0.0},
      {"10V,1100", "-10V,-900", 0.01, -1.0},
      {"0.25A,-0.5", "-0.25A,0.5", -0.5, 0.0},
  };
  for (const auto& f : fits) {
    ComputeTwoPointGainOffset(f.positive, f.negative);
    EXPECT_DOUBLE_EQ(PmxFitGain, f.gain) << f.positive;
    EXPECT_NEAR(PmxFitOffset, f.offset, 1e-12) << f.positive;
  }

  // 300 V fits; "150v" is not the key "150V", so 150 V misses a point; 80 V has two
  // equal references (a flat line); 40 V's point has no reading, 20 V's no reference; the
  // rest miss both. Those keep their pair and are not usable, and the user is told of them
  // in one message.
  zolt::testing::TempFolder folder;
  platform::headless::Reset();
  WriteFile("PMX_cal.txt",
            "01/01/2025 12:00:00\r\n300V=300V,3000\r\n-300V=-300V,-3000\r\n"
            "150v=150V,1600\r\n-150V=-150V,-1500\r\n80V=80V,100\r\n-80V=80V,-100\r\n40V=40V,\r\n-40V=-40V,-4000\r\n"
            "20V=V,100\r\n-20V=-20V,-200\r\n");
  std::ranges::fill(PmxRangeConstants.Gain, 7.0);
  std::ranges::fill(PmxRangeConstants.Offset, 8.0);
  TransferCalFileToConstants("PMX_cal.txt");
  EXPECT_DOUBLE_EQ(PmxRangeConstants.Gain[0], 0.1);
  EXPECT_TRUE(PmxRangeConstants.Usable[0]);
  for (int range = 1; range < PmxRangeCount; ++range) {
    EXPECT_EQ(std::pair(PmxRangeConstants.Gain[range], PmxRangeConstants.Offset[range]), std::pair(7.0, 8.0));
    EXPECT_FALSE(PmxRangeConstants.Usable[range]);
  }
  const std::string log = ReadFile("log.txt");
  EXPECT_NE(log.find("Calibration,PMX_cal.txt,Range 80V: its two references are equal"), std::string::npos);
  EXPECT_NE(log.find("Range 150V: its point 150V is missing"), std::string::npos);
  for (const char* missing : {"Range 40V: its point 40V is missing", "Range 20V: its point 20V is missing"})
    EXPECT_NE(log.find(missing), std::string::npos) << missing;

  // A date line alone calibrates nothing; a whole file everything, without a word.
  WriteFile("date.txt", "01/01/2025 12:00:00\r\n");
  std::string whole;
  for (const char* key : PmxCalibrationKeys) whole += std::string(key) + "=" + key + "," + key + "\r\n";
  WriteFile("whole.txt", whole);
  for (const char* file : {"date.txt", "whole.txt"}) TransferCalFileToConstants(file);
  const auto& shown = platform::headless::MessagesShown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Title, "Warning - PMX_cal.txt");
  EXPECT_EQ(shown[0].Text, "'PMX_cal.txt' gives no usable calibration for 150V, 80V, 40V, 20V, 10V, 10A, 5A, 2A, "
                           "1A, 0.5A, 0.25A: these ranges are uncalibrated.");
  EXPECT_EQ(shown[1].Text.find("for 300V, 150V, 80V,"), shown[1].Text.find("for "));
  EXPECT_DOUBLE_EQ(PmxRangeConstants.Gain[11], 1.0);
}

// A read that fails, at the first word or halfway, leaves the file as it was and says so once.
TEST_F(SimDeviceTest, AFailedEepromReadKeepsTheFile) {
  for (const int failAfter : {0, 150}) {
    platform::headless::Reset();
    PowerUp("eeprom-fail-after=" + std::to_string(failAfter));
    WriteFile("PMX_cal.txt", "01/01/2025 12:00:00\r\n300V=300V,3000\r\n");
    PmxLinkState.PmxLinkStep = 1;
    ASSERT_TRUE(WaitFor([] { return StepPowerAnalyserConnection(), PmxLinkState.PmxLinkStep == 6; }, 5000));
    EXPECT_EQ(ReadFile("PMX_cal.txt"), "01/01/2025 12:00:00\r\n300V=300V,3000\r\n");
    const auto& shown = platform::headless::MessagesShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].Text.find("(EEPROM word " + std::to_string(128 + failAfter) + ", status 11): 'PMX_cal.txt' was "
                                 "left as it was"),
              std::string::npos);
    EXPECT_NE(ReadFile("log.txt").find("Error,PMX_cal.txt,The calibration could not be read"), std::string::npos);
    CloseUsbLink();
  }
}

// "Save to device" clicked at every turn of a connection, its EEPROM read slow, writes
// nothing until the link is ready, and says so: the copy read is the device's own.
TEST_F(SimDeviceTest, EepromAreaToFileAndBack) {
  PowerUp("eeprom-stall=200");
  WriteFile("in.txt", "abc");
  size_t clicks = 0;
  for (PmxLinkState.PmxLinkStep = 1; StepPowerAnalyserConnection(), PmxLinkState.PmxLinkStep % 11 != 0; ++clicks)
    LoadFileToEeprom("in.txt");
  EXPECT_EQ(ReadFile("PMX_cal.txt"), SimCall<const char* (*)()>("PmxSimCalibrationFile")());
  ASSERT_EQ(platform::headless::MessagesShown().size(), clicks);  // "The connection ... is not ready"
  platform::headless::Reset();
  auto word = [](uint32_t address) {
    uint16_t value = 0xFFFF;
    FtReadEE(LinkState.UsbHandle, address, &value);
    return value;
  };
  std::string longFile;
  for (int i = 0; i < 2000; ++i) longFile += static_cast<char>('A' + i % 26);
  const struct { std::string file, back; } cases[] = {
      {longFile.substr(0, 1792), longFile.substr(0, 1792)},
      {std::string("a\0b", 3), "ab"},  // a byte 0 does not come back
      {"abc", "abc"},
      {longFile.substr(0, 1793), "abc"},  // does not fit: nothing is written
  };
  for (const auto& c : cases) {
    WriteFile("in.txt", c.file);
    LoadFileToEeprom("in.txt");
    WaitFor([] { return StepPowerAnalyserConnection(), !platform::FileExists(UnfinishedSaveMarker); }, 5000);
    EXPECT_EQ(SimEepromFile(), c.back);
  }
  // Two bytes a word, low byte first, zeros after the text; word 2, below the area, untouched.
  EXPECT_EQ((std::vector<int>{word(128), word(129), word(130), word(1023), word(2)}),
            (std::vector<int>{'b' * 256 + 'a', 'c', 0, 0, 0x6015}));

  // A file that cannot be read writes nothing and says so; a file that cannot be
  // created says so and leaves the old one.
  LoadFileToEeprom("missing.txt");
  EXPECT_EQ(word(128), 'b' * 256 + 'a');
  StoreDeviceCalibration("no-folder/PMX_cal.txt", PmxEepromArea{});
  const auto& shown = platform::headless::MessagesShown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].Text.substr(0, 105), "'PMX_cal.txt' holds 1793 bytes, more than the 1792 the device can keep: "
                                          "nothing was written to the device");
  EXPECT_EQ(shown[1].Title, "Error - PMX_cal.txt");
  EXPECT_EQ(shown[2].Title, "Error");
  EXPECT_EQ(shown[2].Text, "Cannot create 'PMX_cal.txt' file");

  // Not connected: nothing is written.
  CloseUsbLink();
  LoadFileToEeprom("in.txt");
  EXPECT_EQ(SimEepromFile(), "abc");
}

TEST_F(SimDeviceTest, ControlRegistersReachTheDevice) {
  OpenUsbLink(1000000);
  const struct { int32_t voltageMask, currentMask; const char* enable; unsigned register1, register2; } cases[] = {
      {1, 1, "On", 0x1800F, 192},   // 300 V, 10 A; the pulse bits go out once
      {32, 32, "On", 0x10000, 237},
      {8, 4, "On", 0x10000, 218},   // 40 V, 2 A
      {3, 0, "on", 0, 192},         // not masks: 300 V and 10 A; "on" is not "On"
  };
  RegisterImage[1] = 0x800F | (1 << 20);
  for (const auto& c : cases) {
    PmxRanges.PmxVoltageRangeMask = c.voltageMask;
    PmxRanges.PmxCurrentRangeMask = c.currentMask;
    PmxLinkState.PmxCommsEnable = c.enable;
    SendPowerAnalyserControl();
    EXPECT_EQ(SimRegister(1) & ~(1u << 20), c.register1) << c.voltageMask;
    EXPECT_EQ(SimRegister(2), c.register2) << c.voltageMask;
    EXPECT_EQ(RegisterImage[1] & 0x800F, 0);
  }
  EXPECT_EQ(SimRegister(1) & (1u << 20), 1u << 20);  // other bits kept
  EXPECT_EQ(PmxRanges.PmxVoltageRangeMask, 1);
  EXPECT_EQ(PmxRanges.PmxCurrentRangeMask, 1);
}

}  // namespace
}  // namespace zolt::link
