// The event loop of the curve tracer's modal native windows (direct entry, graph title).
// While one runs, the main loop, the run phases and the screen stand still; a reader
// thread keeps receiving. Main thread only.
#pragma once

#include <functional>

#include "platform/gui.h"

namespace zolt::tracer {

// Serves window `window` until it is to close. Each pass waits at most 1 ms for an event
// (its type kept in FrameLoopState.LastEvent), hands a gadget event to `onGadget`, which
// returns true when the window is to close, then calls `afterWait` (when given) whether
// or not an event came. A close event, or the window losing the activation to another
// window or application, ends the loop; every other event is dropped.
void RunModalLoop(int window, const std::function<bool(const platform::WindowEvent&)>& onGadget,
                  const std::function<void()>& afterWait = nullptr);

// Pauses 500 ms, then closes the window with its gadgets.
void CloseModalWindow(int window);

}  // namespace zolt::tracer
