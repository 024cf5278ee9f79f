// Tests of the curve-tracer simulator's calibration: the image text, the fits made from
// it, and the stream that carries it two bytes per frame.
#include "calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "instrument.h"
#include "support/temp_folder.h"

namespace zolt::kvrsim {
namespace {

CalibrationImage ImageOfUnit(int unit) {
  CalibrationImage image{};
  EXPECT_TRUE(FormatCalibrationImage(MakeCalibrationRecord(unit), image));
  return image;
}

TEST(KvrSimCalibrationImage, IsSeventyOneCrLfLinesPaddedWithNul) {
  CalibrationImage image = ImageOfUnit(1);
  std::string text(image.begin(), image.end());
  size_t end = text.find('\0');
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(text.find_first_not_of('\0', end), std::string::npos);
  text.resize(end);
  size_t lines = 0;
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  EXPECT_EQ(lines, 71u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.find('\n'), text.find('\r') + 1);
}

TEST(KvrSimCalibrationImage, ReadsBackAsTheRecordForEveryUnit) {
  for (int unit = 0; unit < 300; ++unit) {
    CalibrationRecord record = MakeCalibrationRecord(unit);
    CalibrationImage image{};
    ASSERT_TRUE(FormatCalibrationImage(record, image)) << "unit " << unit;
    CalibrationRecord back = ParseCalibrationImage(image);
    for (int k = 0; k < CalibrationEntries; ++k) {
      ASSERT_NEAR(back[k], record[k], 1e-9 * (1.0 + std::abs(record[k]))) << "unit " << unit << " entry " << k;
    }
  }
  EXPECT_NE(ImageOfUnit(1), ImageOfUnit(2));
}

TEST(KvrSimCalibrationImage, FileRoundTripAndLimits) {
  zolt::testing::TempFolder folder;
  CalibrationImage image = ImageOfUnit(7), back{};
  std::string error;
  ASSERT_TRUE(WriteCalibrationImageFile("cal.txt", image, error)) << error;
  EXPECT_EQ(zolt::testing::ReadFile("cal.txt").size(), 1024u);
  ASSERT_TRUE(ReadCalibrationImageFile("cal.txt", back, error)) << error;
  EXPECT_EQ(back, image);

  zolt::testing::WriteFile("short.txt", "12.5\r\n7\r\n");
  ASSERT_TRUE(ReadCalibrationImageFile("short.txt", back, error));
  CalibrationRecord record = ParseCalibrationImage(back);
  EXPECT_EQ(record[0], 12.5);
  EXPECT_EQ(record[1], 7.0);
  EXPECT_EQ(record[2], 0.0);

  zolt::testing::WriteFile("long.txt", std::string(1025, '1'));
  EXPECT_FALSE(ReadCalibrationImageFile("long.txt", back, error));
  EXPECT_FALSE(ReadCalibrationImageFile("missing.txt", back, error));
}

TEST(KvrSimCalibrationFits, GiveTheConverterScalesOfTheSimulatedUnit) {
  Conversions c = FitConversions(MakeCalibrationRecord(3));
  EXPECT_NEAR(c.collectorVoltageToCode.gain, 4200.0, 4200.0 * 0.005);
  EXPECT_NEAR(Apply(c.collectorVoltageFromCode, Apply(c.collectorVoltageToCode, 57.3)), 57.3, 1e-9);
  EXPECT_NEAR(c.baseVoltageToCode.gain, 40000.0, 40000.0 * 0.005);
  EXPECT_NEAR(c.baseVoltageActiveDac.gain, 2500.0, 2500.0 * 0.01);
  EXPECT_NEAR(Apply(c.baseVoltageActiveDac, 0.0), 32768.0, 50.0);
  const double codesPerAmp[4] = {1e8, 1e7, 1e6, 1e5};
  const double fullScale[4] = {20e-6, 200e-6, 2e-3, 20e-3};
  for (int range = 0; range < 4; ++range) {
    EXPECT_NEAR(c.collectorCurrentToCode[range].gain, codesPerAmp[range], codesPerAmp[range] * 0.01);
    EXPECT_NEAR(c.collectorCurrentFromCode[range].gain * c.collectorCurrentToCode[range].gain, 1.0, 1e-12);
    EXPECT_NEAR(Apply(c.baseCurrentActiveDac[range], fullScale[range]), 52768.0, 300.0);
    EXPECT_NEAR(Apply(c.baseCurrentOffsetDac[range], -fullScale[range]), 12768.0, 300.0);
  }
}

TEST(KvrSimCalibrationFits, AnEmptyImageGivesNeutralMapsAndStillRuns) {
  CalibrationImage empty{};
  Conversions c = FitConversions(ParseCalibrationImage(empty));
  EXPECT_EQ(c.baseVoltageActiveDac.gain, 1.0);
  EXPECT_EQ(c.baseVoltageActiveDac.offset, 0.0);
  EXPECT_EQ(c.collectorVoltageToCode.gain, 1.0);
  EXPECT_EQ(c.parasiticOhms, 1.0);
  // Equal computed currents leave the current maps degenerate; frames must still come.
  Instrument in;
  StartInstrument(in, InstrumentSettings{}, empty);
  ApplyPacket(in, {.write = true, .address = RegCommand, .value = CommsEnableBit | HighVoltageStartBit});
  for (int i = 0; i < 50; ++i) NextFrame(in);
  EXPECT_TRUE(in.highVoltageOn);
}

TEST(KvrSimCalibrationStream, MarksEachCopyStartAndSendsTheLowByteFirst) {
  CalibrationStream stream;
  stream.image = ImageOfUnit(1);
  CalibrationImage received{};
  int markers = 0;
  for (size_t word = 0; word < 3 * 512; ++word) {
    CalibrationWord w = NextCalibrationWord(stream);
    size_t position = (2 * word) % CalibrationImageBytes;
    ASSERT_EQ(w.marker, position == 0) << "word " << word;
    markers += w.marker;
    // The host keeps frame byte 3 (the low half) first, then byte 2.
    received[position] = static_cast<uint8_t>(w.word & 0xFF);
    received[position + 1] = static_cast<uint8_t>(w.word >> 8);
  }
  EXPECT_EQ(markers, 3);
  EXPECT_EQ(stream.copiesSent, 3u);
  EXPECT_EQ(received, stream.image);
}

}  // namespace
}  // namespace zolt::kvrsim
