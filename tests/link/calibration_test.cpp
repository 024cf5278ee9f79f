// The calibration image: stream reception, splitting, storing, reading and the fits.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "link/calibration.h"
#include "link/calibration_stream.h"
#include "platform/gui_headless.h"
#include "support/temp_folder.h"

namespace zolt::link {
namespace {

using testing::TempFolder;

// A 1,024-byte image: the text followed by NUL bytes.
std::string Image(const std::string& text) {
  std::string image = text;
  image.resize(CalibrationImageBytes, '\0');
  return image;
}

// The image as the instrument sends it: two bytes a word, the first byte of each pair in
// the word's low byte.
std::vector<uint16_t> Words(const std::string& image) {
  std::vector<uint16_t> words;
  for (size_t i = 0; i + 1 < image.size(); i += 2) {
    words.push_back(static_cast<uint16_t>(static_cast<uint8_t>(image[i]) |
                                          (static_cast<uint8_t>(image[i + 1]) << 8)));
  }
  return words;
}

void SendCopy(const std::string& image) {
  const std::vector<uint16_t> words = Words(image);
  for (size_t i = 0; i < words.size(); ++i) ReceiveCalibrationWord(i == 0 ? 1 : 0, words[i]);
}

int32_t State() { return CalibrationStream.CalStreamState.load(); }

class CalibrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::Reset();
    CalibrationStream.CalStreamState = CalStreamAwaitMarker;
    CalibrationStream.CalStreamIndex = 0;
    for (std::string& line : CalibrationStream.CalLines) line.clear();
    for (std::string& line : CalibrationStream.CalFileLines) line.clear();
    for (double& entry : CalibrationRecord) entry = 0.0;
    CalibrationCoefficients = {};
  }
  TempFolder folder_;
};

// ---- the stream ----

TEST_F(CalibrationTest, TwoEqualCopiesAreComparedThenSplitOnTheFollowingFrames) {
  const std::string image = Image("12.5\r\n7\r\n");
  ReceiveCalibrationWord(0, 0x4141);  // before any marker: ignored
  EXPECT_EQ(State(), CalStreamAwaitMarker);
  SendCopy(image);
  EXPECT_EQ(State(), CalStreamFirstCopy);
  SendCopy(image);
  EXPECT_EQ(State(), CalStreamSecondCopy);
  ReceiveCalibrationWord(1, Words(image)[0]);  // the third marker
  EXPECT_EQ(State(), CalStreamCompare);
  ReceiveCalibrationWord(0, 0);
  EXPECT_EQ(State(), CalStreamSplit);
  ReceiveCalibrationWord(0, 0);
  EXPECT_EQ(State(), CalStreamStore);
  EXPECT_EQ(CalibrationStream.CalLines[0], "12.5");
  EXPECT_EQ(CalibrationStream.CalLines[1], "7");
  EXPECT_EQ(CalibrationStream.CalLines[2], "");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(CalibrationStream.CalCopy1),
                        CalibrationImageBytes),
            image);
  // Once handed over, further words change nothing.
  SendCopy(Image("99\r\n"));
  EXPECT_EQ(State(), CalStreamStore);
  EXPECT_EQ(CalibrationStream.CalLines[0], "12.5");
}

TEST_F(CalibrationTest, CopiesThatDifferRestartAtTheNextMarker) {
  SendCopy(Image("1\r\n"));
  SendCopy(Image("2\r\n"));
  ReceiveCalibrationWord(1, 0);
  ReceiveCalibrationWord(0, 0);
  EXPECT_EQ(State(), CalStreamAwaitMarker);
  ReceiveCalibrationWord(0, 0x3131);  // no marker: still waiting
  EXPECT_EQ(State(), CalStreamAwaitMarker);
  SendCopy(Image("3\r\n"));
  SendCopy(Image("3\r\n"));
  ReceiveCalibrationWord(1, 0);
  ReceiveCalibrationWord(0, 0);
  ReceiveCalibrationWord(0, 0);
  EXPECT_EQ(State(), CalStreamStore);
  EXPECT_EQ(CalibrationStream.CalLines[0], "3");
}

TEST_F(CalibrationTest, ACopyLongerThanTheImageIsCutAtPosition1023) {
  ReceiveCalibrationWord(1, 0x3231);  // "12"
  for (int i = 0; i < 700; ++i) ReceiveCalibrationWord(0, 0x3939);
  EXPECT_EQ(CalibrationStream.CalCopy1[0], '1');
  EXPECT_EQ(CalibrationStream.CalCopy1[1], '2');
  EXPECT_EQ(CalibrationStream.CalCopy1[1023], '9');
  EXPECT_LE(CalibrationStream.CalStreamIndex, CalibrationImageBytes);
  ReceiveCalibrationWord(1, 0x3231);  // the second copy starts from position 0 again
  EXPECT_EQ(State(), CalStreamSecondCopy);
  EXPECT_EQ(CalibrationStream.CalCopy2[0], '1');
  EXPECT_EQ(CalibrationStream.CalStreamIndex, 2);
}

TEST(CalibrationSplitTest, LinesEndAtCrAndAdvanceAtLf) {
  auto split = [](const std::string& text) {
    uint8_t image[CalibrationImageBytes] = {};
    for (size_t i = 0; i < text.size() && i < CalibrationImageBytes; ++i) image[i] = text[i];
    static std::string lines[CalibrationLineCount];
    SplitCalibrationImage(image, lines);
    return std::vector<std::string>(lines, lines + 4);
  };
  EXPECT_EQ(split("12.5\r\n7\r\n"), (std::vector<std::string>{"12.5", "7", "", ""}));
  // A last line without CR is not stored; a line ended by LF alone is not stored either.
  EXPECT_EQ(split("1\r\n2\n3\r\n4"), (std::vector<std::string>{"1", "", "3", ""}));
  // NUL bytes are skipped, even inside a line.
  EXPECT_EQ(split(std::string("5\0" "6\r\n", 5)), (std::vector<std::string>{"56", "", "", ""}));
}

// ---- storing and reading the file ----

TEST_F(CalibrationTest, MatchingLinesWriteNothing) {
  testing::WriteFile("settings/KVR820_cal.txt", "12.5\r\n7\r\n");  // same lines, no padding
  ReadCalibrationFile("settings/KVR820_cal.txt");
  SendCopy(Image("12.5\r\n7\r\n"));
  SendCopy(Image("12.5\r\n7\r\n"));
  ReceiveCalibrationWord(1, 0);
  ReceiveCalibrationWord(0, 0);
  ReceiveCalibrationWord(0, 0);
  ASSERT_EQ(State(), CalStreamStore);
  StoreReceivedCalibration();
  EXPECT_EQ(State(), CalStreamDone);
  EXPECT_EQ(testing::ReadFile("settings/KVR820_cal.txt"), "12.5\r\n7\r\n");
}

TEST_F(CalibrationTest, AOneCharacterDifferenceRewritesTheWholeImage) {
  testing::WriteFile("settings/KVR820_cal.txt", "12.5\r\n7\r\n");
  ReadCalibrationFile("settings/KVR820_cal.txt");
  ComputeCalibrationCoefficients();
  const std::string image = Image("12.5\r\n8\r\n");
  SendCopy(image);
  SendCopy(image);
  ReceiveCalibrationWord(1, 0);
  ReceiveCalibrationWord(0, 0);
  StoreReceivedCalibration();  // state 4: not yet
  EXPECT_EQ(testing::ReadFile("settings/KVR820_cal.txt"), "12.5\r\n7\r\n");
  ReceiveCalibrationWord(0, 0);
  StoreReceivedCalibration();
  EXPECT_EQ(State(), CalStreamDone);
  EXPECT_EQ(testing::ReadFile("settings/KVR820_cal.txt"), image);  // 1,024 bytes, NULs too
  EXPECT_EQ(CalibrationStream.CalFileLines[1], "8");
  EXPECT_EQ(CalibrationRecord[0], 12.5);
  EXPECT_EQ(CalibrationRecord[1], 8.0);
  // Refitted: entries 0 and 4 (12.5 and 0) against 1 and 5 (8 and 0).
  EXPECT_DOUBLE_EQ(CalibrationCoefficients.BaseGateVoltageActiveDac.Gain, 8.0 / 12.5);
}

TEST_F(CalibrationTest, AFileThatCannotBeCreatedIsSkippedSilently) {
  // No settings folder: the program creates no folders.
  SendCopy(Image("1\r\n"));
  SendCopy(Image("1\r\n"));
  ReceiveCalibrationWord(1, 0);
  ReceiveCalibrationWord(0, 0);
  ReceiveCalibrationWord(0, 0);
  StoreReceivedCalibration();
  EXPECT_EQ(State(), CalStreamDone);
  EXPECT_FALSE(testing::Exists("settings/KVR820_cal.txt"));
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
}

TEST_F(CalibrationTest, AMissingFileIsReportedAndGivesZeros) {
  CalibrationRecord[3] = 9.0;
  CalibrationStream.CalFileLines[0] = "old";
  ReadCalibrationFile("settings/KVR820_cal.txt");
  ASSERT_EQ(platform::headless::MessagesShown().size(), 1u);
  const auto& shown = platform::headless::MessagesShown()[0];
  EXPECT_EQ(shown.Title, "Cannot find calibration file");
  EXPECT_EQ(shown.Text,
            "settings/KVR820_cal.txt file not found, please allow extra time after connection "
            "for this data to be automatically downloaded from the instrument - instrument will "
            "not function correctly until this has happened!");
  EXPECT_EQ(shown.Icon, platform::MessageIcon::Error);
  EXPECT_EQ(CalibrationRecord[3], 0.0);
  EXPECT_EQ(CalibrationStream.CalFileLines[0], "");
}

TEST_F(CalibrationTest, AnEmptyFileGivesZerosWithoutAMessage) {
  testing::WriteFile("cal.txt", "");
  CalibrationRecord[70] = 1.0;
  ReadCalibrationFile("cal.txt");
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
  EXPECT_EQ(CalibrationRecord[70], 0.0);
}

TEST_F(CalibrationTest, LinesBeyondTheTableOverwriteTheLastEntry) {
  std::string text;
  for (int i = 0; i < 1300; ++i) text += std::to_string(i) + "\r\n";
  testing::WriteFile("cal.txt", text);
  ReadCalibrationFile("cal.txt");
  EXPECT_EQ(CalibrationStream.CalFileLines[1233], "1233");
  EXPECT_EQ(CalibrationStream.CalFileLines[1234], "1299");
  EXPECT_EQ(CalibrationRecord[70], 70.0);
}

// ---- fits ----

TEST(TwoPointFitTest, ForwardAndReverse) {
  const TwoPointFit fit = FitTwoPoints(2.0, 10.0, 4.0, 20.0);
  EXPECT_DOUBLE_EQ(fit.Forward.Gain, 5.0);
  EXPECT_DOUBLE_EQ(fit.Forward.Offset, 0.0);
  EXPECT_DOUBLE_EQ(fit.Reverse.Gain, 0.2);
  EXPECT_DOUBLE_EQ(fit.Reverse.Offset, 0.0);
  const TwoPointFit shifted = FitTwoPoints(1.0, 3.0, 3.0, 7.0);  // y = 2x + 1
  EXPECT_DOUBLE_EQ(shifted.Forward.Gain, 2.0);
  EXPECT_DOUBLE_EQ(shifted.Forward.Offset, 1.0);
  EXPECT_DOUBLE_EQ(shifted.Reverse.Gain, 0.5);
  EXPECT_DOUBLE_EQ(shifted.Reverse.Offset, -0.5);
}

TEST(TwoPointFitTest, EqualPointsAreGuarded) {
  // Equal x: taken as 1 and 0; equal y likewise.
  const TwoPointFit sameX = FitTwoPoints(5.0, 10.0, 5.0, 30.0);
  EXPECT_DOUBLE_EQ(sameX.Forward.Gain, -20.0);
  EXPECT_DOUBLE_EQ(sameX.Forward.Offset, 30.0);
  const TwoPointFit both = FitTwoPoints(0.0, 0.0, 0.0, 0.0);
  EXPECT_EQ(both.Forward.Gain, 1.0);
  EXPECT_EQ(both.Forward.Offset, 0.0);
  EXPECT_EQ(both.Reverse.Gain, 1.0);
  EXPECT_EQ(both.Reverse.Offset, 0.0);
  // Unguarded y: the reverse pair is not finite.
  const TwoPointFit flat = FitTwoPoints(3.0, 2.0, 1.0, 2.0, false);
  EXPECT_EQ(flat.Forward.Gain, 0.0);
  EXPECT_EQ(flat.Forward.Offset, 2.0);
  EXPECT_FALSE(std::isfinite(flat.Reverse.Gain));
}

TEST(CalibrationFitTest, EntriesMapToTheirPairs) {
  double e[CalibrationRecordSize] = {};
  e[0] = 10.0, e[1] = 2000.0, e[4] = -10.0, e[5] = 0.0;        // active volts to code
  e[2] = 5.0, e[3] = 600.0, e[6] = 0.0, e[7] = 100.0;          // offset volts to code
  e[14] = 20.0, e[15] = 4000.0, e[18] = -20.0, e[19] = 0.0;    // 20 mA range, mA
  e[40] = 10.0, e[41] = 300.0, e[44] = 0.0, e[45] = 100.0;     // 20 uA range offset, uA
  e[8] = 1.0, e[10] = 100.0, e[11] = -1.0, e[13] = -100.0;     // base/gate voltage reading
  const CalibrationCoefficientsRecord c = FitCalibrationCoefficients(e);
  EXPECT_DOUBLE_EQ(c.BaseGateVoltageActiveDac.Gain, 100.0);
  EXPECT_DOUBLE_EQ(c.BaseGateVoltageActiveDac.Offset, 1000.0);
  EXPECT_DOUBLE_EQ(c.BaseGateVoltageOffsetDac.Gain, 100.0);
  EXPECT_DOUBLE_EQ(c.BaseGateVoltageOffsetDac.Offset, 100.0);
  EXPECT_DOUBLE_EQ(c.BaseGateCurrentActiveDac[3].Gain, 100000.0);  // per ampere
  EXPECT_DOUBLE_EQ(c.BaseGateCurrentActiveDac[3].Offset, 2000.0);
  EXPECT_DOUBLE_EQ(c.BaseGateCurrentOffsetDac[0].Gain, 2e7);
  EXPECT_DOUBLE_EQ(c.BaseGateCurrentOffsetDac[0].Offset, 100.0);
  EXPECT_DOUBLE_EQ(c.BaseGateVoltageFromCode.Gain, 0.01);  // code to volts
  EXPECT_DOUBLE_EQ(c.BaseGateVoltageFromCode.Offset, 0.0);
  // Pairs whose entries are all zero fall back to gain 1, offset 0.
  EXPECT_EQ(c.BaseGateCurrentActiveDac[1].Gain, 1.0);
  EXPECT_EQ(c.BaseGateCurrentActiveDac[1].Offset, 0.0);
  EXPECT_EQ(c.CollectorVoltageToCode.Gain, 1.0);
}

TEST(CalibrationFitTest, RecordedCurrentsAreDividedExactlyIntoAmperes) {
  // Values for which scaling by 1e-3 or 1e-6 instead of dividing changes the last bit.
  double e[CalibrationRecordSize] = {};
  e[14] = 0.1, e[15] = 4000.0, e[18] = -1.3, e[19] = 0.0;  // mA
  e[38] = 0.1, e[39] = 4000.0, e[42] = -0.2, e[43] = 0.0;  // uA
  const CalibrationCoefficientsRecord c = FitCalibrationCoefficients(e);
  EXPECT_EQ(c.BaseGateCurrentActiveDac[3].Gain, 4000.0 / (0.1 / 1000 - -1.3 / 1000));
  EXPECT_EQ(c.BaseGateCurrentActiveDac[0].Gain, 4000.0 / (0.1 / 1e6 - -0.2 / 1e6));
}

TEST(CalibrationFitTest, CollectorCurrentBlock) {
  double e[CalibrationRecordSize] = {};
  e[46] = 10.0, e[47] = 1000.0, e[48] = -10.0, e[49] = -1000.0;  // 100 codes per volt
  e[50] = 100000.0;                                              // parasitic resistance
  e[51] = 25000.0;                                               // range 0: 20 kR effective
  e[52] = 5000.0, e[53] = 1000.0, e[54] = -5000.0, e[55] = -1000.0;
  const CalibrationCoefficientsRecord c = FitCalibrationCoefficients(e);
  EXPECT_DOUBLE_EQ(c.CollectorVoltageToCode.Gain, 100.0);
  EXPECT_DOUBLE_EQ(c.CollectorVoltageFromCode.Gain, 0.01);
  // +-10 V over 20 kR is +-0.5 mA at current codes +-5000.
  EXPECT_DOUBLE_EQ(c.CollectorCurrentFromCode[0].Gain, 1e-7);
  EXPECT_NEAR(c.CollectorCurrentFromCode[0].Offset, 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(c.CollectorCurrentToCode[0].Gain, 1e7);
  EXPECT_NEAR(c.CollectorCurrentToCode[0].Offset, 0.0, 1e-9);
  // Ranges with no entries: both currents 0, so the ampere-to-code pair is not finite.
  EXPECT_EQ(c.CollectorCurrentFromCode[2].Gain, 0.0);
  EXPECT_FALSE(std::isfinite(c.CollectorCurrentToCode[2].Gain));
}

TEST(CalibrationFitTest, ZeroResistancesCountAsOneOhm) {
  double e[CalibrationRecordSize] = {};
  e[46] = 1.0, e[47] = 1.0;  // collector voltage 1:1 (x2 and y2 are 0)
  e[62] = 10.0, e[63] = 3.0, e[64] = -10.0, e[65] = -3.0;  // range 2, resistors 0
  const CalibrationCoefficientsRecord c = FitCalibrationCoefficients(e);
  // Parasitic and calibration resistors of 1 ohm in parallel: 0.5 ohm; +-3 V gives +-6 A.
  EXPECT_DOUBLE_EQ(c.CollectorCurrentFromCode[2].Gain, 0.6);
  EXPECT_DOUBLE_EQ(c.CollectorCurrentToCode[2].Gain, 1.0 / 0.6);
}

}  // namespace
}  // namespace zolt::link
