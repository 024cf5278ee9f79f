// Test support for the screen toolkit: a headless main window, the program's numbered
// fonts, the default colour scheme and cleared zone and pointer records.
#pragma once

#include <gtest/gtest.h>

namespace zolt::screen {

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace zolt::screen
