// Test support: the power-analyser simulator (pmx-sim) loaded as the program's D2XX
// library, powered up afresh for each test with the options it is given.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "frame/translate.h"
#include "link/link_state.h"
#include "link/pmx_calibration.h"
#include "link/pmx_link.h"
#include "link/usb_device.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "support/temp_folder.h"

namespace zolt::link {

template <typename Function>
Function SimCall(const char* name) {
  auto call = reinterpret_cast<Function>(platform::LibraryFunction(UsbLibraryNumber, name));
  EXPECT_NE(call, nullptr) << name;
  return call;
}

inline unsigned SimRegister(int address) {
  return SimCall<unsigned (*)(int)>("PmxSimRegister")(address);
}

// The calibration file the device's EEPROM holds now.
inline std::string SimEepromFile() {
  PmxEepromArea words{};
  for (size_t i = 0; i < words.size(); ++i) words[i] = SimCall<uint16_t (*)(int)>("PmxSimEepromWord")(int(128 + i));
  return CalibrationFileFromEeprom(words);
}

class SimDeviceTest : public ::testing::Test {
 protected:
  void PowerUp(const std::string& options) {
    ::setenv("PMX_SIM_OPTIONS", options.c_str(), 1);
    SimCall<void (*)()>("PmxSimPowerUp")();
  }
  void SetUp() override {
    platform::headless::Reset();
    ASSERT_TRUE(platform::OpenLibrary(UsbLibraryNumber, PMX_SIM_LIBRARY));
    PowerUp("");
    LinkState.Connected = 0;
    PmxLinkState = PmxLinkStateRecord{};
    PmxRanges = PmxRangesRecord{};
    frame::LoadUiTexts();
  }
  void TearDown() override {
    StopLinkThread();
    CloseUsbDevice();
    ::unsetenv("PMX_SIM_OPTIONS");
  }
  zolt::testing::TempFolder folder_;
};

}  // namespace zolt::link
