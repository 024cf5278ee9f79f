// Test support for the power analyser's front end: every record at its start value, a
// headless 1400 x 800 main window after StartPowerAnalyser, in a folder of its own with
// the toolbar icons linked in, and the sends of the range control counted.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "platform/draw.h"
#include "support/temp_folder.h"

namespace zolt::analyser::testing {

inline int SendCount = 0;

// Voltage samples [first, first + count) of the ring from a function of the sample index.
void FillVoltage(int first, int count, const std::function<double(int)>& volts);
// Takes the next queued gui event as the turn's event and serves it as the handler does.
void ServeNextEvent();
platform::Colour Pixel(int x, int y);

class AnalyserTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  zolt::testing::TempFolder folder_;
};

}  // namespace zolt::analyser::testing
