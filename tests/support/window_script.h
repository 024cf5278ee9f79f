// Test support: a window of the program worked through a script in the headless gui, one
// step per wait of its loop while it is open. A WaitUntil step repeats, one wait at a
// time, until its condition holds (30 s at most).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "platform/system.h"

namespace zolt::testing {

using Step = std::function<void()>;
inline bool StepDone = true;

inline Step WaitUntil(std::function<bool()> condition) {
  return [condition] { StepDone = condition(); };
}

// Installs the script as the wait hook (copied for every wait, so its state is shared).
inline void ScriptWindow(int window, std::vector<Step> steps) {
  struct Script {
    std::vector<Step> Steps;
    size_t Next = 0;
    int64_t Since = platform::ElapsedMilliseconds();
  };
  auto s = std::make_shared<Script>(Script{std::move(steps)});
  platform::headless::SetWaitHook([s, window] {
    if (!platform::IsWindow(window) || s->Next >= s->Steps.size()) return;
    StepDone = true;
    s->Steps[s->Next]();
    if (!StepDone && platform::ElapsedMilliseconds() - s->Since > 30000) {
      ADD_FAILURE() << "step " << s->Next << " waited in vain";
      StepDone = true;
    }
    if (StepDone) ++s->Next, s->Since = platform::ElapsedMilliseconds();
  });
}

}  // namespace zolt::testing
