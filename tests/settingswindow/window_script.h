// Test support: the settings window opened in the headless gui with a script of steps,
// one step per pass of its loop; the window is closed after the last step. A step made
// by WaitUntil is repeated, one pass at a time, until its condition holds (30 s at most).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "settingswindow/settings_window.h"

namespace zolt::testing {

using Step = std::function<void()>;

inline bool StepDone = true;

inline Step WaitUntil(std::function<bool()> condition) {
  return [condition] { StepDone = condition(); };
}

inline void RunSettingsWindow(int32_t zone, const std::vector<Step>& steps,
                              void (*open)(int32_t) = settingswindow::OpenSettingsWindow) {
  constexpr int WaitLimitMs = 30000;
  size_t next = 0;
  int64_t stepStart = platform::ElapsedMilliseconds();
  platform::headless::SetWaitHook([&] {
    if (!platform::IsWindow(settingswindow::SettingsWindowNumber) || next > steps.size()) return;
    if (next == steps.size()) {
      platform::headless::PushClose(settingswindow::SettingsWindowNumber);
      ++next;
      return;
    }
    StepDone = true;
    steps[next]();
    if (!StepDone && platform::ElapsedMilliseconds() - stepStart > WaitLimitMs) {
      ADD_FAILURE() << "step " << next << " waited in vain";
      StepDone = true;
    }
    if (StepDone) {
      ++next;
      stepStart = platform::ElapsedMilliseconds();
    }
  });
  open(zone);
  platform::headless::SetWaitHook(nullptr);
}

}  // namespace zolt::testing
