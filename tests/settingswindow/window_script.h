// Test support: the settings window opened with a script of steps (see
// support/window_script.h), closed after the last.
#pragma once

#include "settingswindow/settings_window.h"
#include "support/window_script.h"

namespace zolt::testing {

inline void RunSettingsWindow(int32_t zone, std::vector<Step> steps,
                              void (*open)(int32_t) = settingswindow::OpenSettingsWindow) {
  steps.push_back([] { platform::headless::PushClose(300); });
  ScriptWindow(300, std::move(steps));
  open(zone);
  platform::headless::SetWaitHook(nullptr);
}

}  // namespace zolt::testing
