// The event loop of the program's modal native windows (settings, direct entry, graph
// title). While one runs, the main loop, the run phases and the screen stand still; a
// reader thread keeps receiving. Main thread only.
#pragma once

#include <functional>

#include "platform/gui.h"

namespace zolt::frame {

// Serves window `window` until it is to close. Each pass runs `eachPass` (when given),
// waits at most 1 ms for one event (its type kept in FrameLoopState.LastEvent) and hands
// a gadget event to `onGadget`, which returns true when the window is to close. A close
// event, or the window losing the activation to another window or application, ends the
// loop; every other event is dropped. The window stays open: see CloseModalWindow.
void RunModalWindow(int window, const std::function<bool(const platform::WindowEvent&)>& onGadget,
                    const std::function<void()>& eachPass = nullptr);

// Pauses 500 ms, then closes the window with its gadgets.
void CloseModalWindow(int window);

}  // namespace zolt::frame
