// Test support for the power analyser's front end: a fresh start in a folder of its own
// (the toolbar icons linked in), a headless main window of a chosen size, every record
// back at its start value, and the sends of the range control counted.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "platform/draw.h"
#include "support/temp_folder.h"

namespace zolt::analyser::testing {

inline int SendCount = 0;

// Resets the records and the gui, opens the main window and runs StartPowerAnalyser.
void StartAt(int width, int height);

// Fills samples [first, first + count) of the ring from a function of the sample index.
void FillVoltage(int first, int count, const std::function<double(int)>& volts);
void FillCurrent(int first, int count, const std::function<double(int)>& amperes);

// Takes the next queued gui event as the turn's event and serves it as the handler does.
void ServeNextEvent();

platform::Colour Pixel(int x, int y);

class AnalyserTest : public ::testing::Test {
 protected:
  void SetUp() override { StartAt(1400, 800); }
  void TearDown() override;
  zolt::testing::TempFolder folder_;
};

}  // namespace zolt::analyser::testing
