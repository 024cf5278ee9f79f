// Test support for the curve tracer's screen: a headless canvas at a chosen size with the
// program's fonts, captions and colours, a known test configuration, and generated
// transistor curves.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/draw.h"

namespace zolt::tracer::testing {

// Resets the tracer's screen state and opens a canvas of width x height.
void PrepareScreen(int32_t width, int32_t height);

// The configuration the collector characteristics use: IC against VC, stepped by the
// base current, with titles, symbols, subscripts and units.
void UseCollectorConfiguration();

// `curves` curves of `points` entries each (TotalEntries = points - 1): collector current
// rising over 0 .. maxVolts, step c at base current (c + 1) x 10 uA; no status bits.
void FillTransistorCurves(int curves, int points, double maxVolts = 10.0);

// Runs the whole drawing chain once, every step anew.
void DrawScreen();

platform::Colour Pixel(int x, int y);
// True when some pixel in the rectangle (inclusive) has the colour.
bool AnyPixel(int left, int top, int right, int bottom, platform::Colour colour);
// Saves the canvas (for looking at a failing test).
void SaveCanvas(const std::string& name);

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { PrepareScreen(1920, 1080); }
};

}  // namespace zolt::tracer::testing
