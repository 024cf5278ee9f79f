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

namespace zolt::link {
namespace {

using zolt::testing::ReadFile;
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

  // 300 V fits; "150v" is not the key "150V", so 150 V fits through (0, 0); every other
  // range has two equal readings (missing keys read 0) and keeps its pair.
  zolt::testing::TempFolder folder;
  WriteFile("PMX_cal.txt",
            "01/01/2025 12:00:00\r\n300V=300V,3000\r\n-300V=-300V,-3000\r\n"
            "150v=150V,1600\r\n-150V=-150V,-1500\r\n");
  std::ranges::fill(PmxRangeConstants.Gain, 7.0);
  std::ranges::fill(PmxRangeConstants.Offset, 8.0);
  TransferCalFileToConstants("PMX_cal.txt");
  EXPECT_DOUBLE_EQ(PmxRangeConstants.Gain[0], 0.1);
  EXPECT_DOUBLE_EQ(PmxRangeConstants.Gain[1], 0.1);
  EXPECT_DOUBLE_EQ(PmxRangeConstants.Offset[1], 0.0);
  for (int range = 2; range < PmxRangeCount; ++range)
    EXPECT_EQ(std::pair(PmxRangeConstants.Gain[range], PmxRangeConstants.Offset[range]), std::pair(7.0, 8.0));
  const std::string log = ReadFile("log.txt");
  EXPECT_NE(log.find("Calibration,PMX_cal.txt,Range 80V: its two readings are equal"), std::string::npos);
  EXPECT_NE(log.find("Range 0.25A:"), std::string::npos);
  EXPECT_EQ(log.find("Range 150V:"), std::string::npos);
}

TEST_F(SimDeviceTest, EepromAreaToFileAndBack) {
  OpenUsbLink(1000000);
  ASSERT_EQ(LinkState.Connected.load(), 1);
  auto word = [](uint32_t address) {
    uint16_t value = 0xFFFF;
    FtReadEE(LinkState.UsbHandle, address, &value);
    return value;
  };
  std::string longFile;
  for (int i = 0; i < 2000; ++i) longFile += static_cast<char>('A' + i % 26);
  const struct { std::string file, back; } cases[] = {
      {longFile, longFile.substr(0, 1792)},
      {std::string("a\0b", 3), "ab"},  // a byte 0 does not come back
      {"abc", "abc"},
  };
  for (const auto& c : cases) {
    WriteFile("in.txt", c.file);
    LoadFileToEeprom("in.txt");
    SaveEepromToFile("PMX_cal.txt");
    EXPECT_EQ(ReadFile("PMX_cal.txt"), c.back);
  }
  // Two bytes a word, low byte first, zeros after the text; word 2, below the area, untouched.
  EXPECT_EQ((std::vector<int>{word(128), word(129), word(130), word(1023), word(2)}),
            (std::vector<int>{'b' * 256 + 'a', 'c', 0, 0, 0x6015}));

  // A file that cannot be read writes nothing and says so; a file that cannot be
  // created says so and leaves the old one.
  LoadFileToEeprom("missing.txt");
  EXPECT_EQ(word(128), 'b' * 256 + 'a');
  SaveEepromToFile("no-folder/PMX_cal.txt");
  const auto& shown = platform::headless::MessagesShown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Title, "Error - PMX_cal.txt");
  EXPECT_EQ(shown[1].Title, "Error");
  EXPECT_EQ(shown[1].Text, "Cannot create 'PMX_cal.txt' file");

  // Not connected: neither way.
  CloseUsbLink();
  WriteFile("PMX_cal.txt", "kept");
  SaveEepromToFile("PMX_cal.txt");
  LoadFileToEeprom("in.txt");
  EXPECT_EQ(ReadFile("PMX_cal.txt"), "kept");
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
