// Test support: the settings window opened in the headless gui with a script of steps,
// one per pass of its loop, closed after the last. A WaitUntil step repeats, one pass at
// a time, until its condition holds (30 s at most).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

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
  size_t next = 0;
  int64_t since = platform::ElapsedMilliseconds();
  platform::headless::SetWaitHook([&] {
    if (!platform::IsWindow(300) || next > steps.size()) return;
    StepDone = true;
    if (next == steps.size()) platform::headless::PushClose(300); else steps[next]();
    if (!StepDone && platform::ElapsedMilliseconds() - since > 30000) {
      ADD_FAILURE() << "step " << next << " waited in vain";
      StepDone = true;
    }
    if (StepDone) ++next, since = platform::ElapsedMilliseconds();
  });
  open(zone);
  platform::headless::SetWaitHook(nullptr);
}

}  // namespace zolt::testing
