// The event loop of the curve tracer's modal native windows.
#include "tracer/modal_loop.h"

#include "frame/app.h"
#include "platform/system.h"

namespace zolt::tracer {

namespace {
constexpr int EventWaitMs = 1;
constexpr int ClosingPauseMs = 500;
}  // namespace

void RunModalLoop(int window, const std::function<bool(const platform::WindowEvent&)>& onGadget,
                  const std::function<void()>& afterWait) {
  for (bool closing = false; !closing;) {
    const platform::WindowEvent event = platform::WaitWindowEvent(EventWaitMs);
    frame::FrameLoopState.LastEvent = static_cast<int32_t>(event.Type);
    switch (event.Type) {
      case platform::EventType::Gadget:
        closing = onGadget(event);
        break;
      case platform::EventType::Close:
        closing = true;
        break;
      case platform::EventType::Deactivate:
        // Only this window's own loss counts: the main window giving the activation to
        // this one as it opens must not close it.
        closing = event.Window == window && platform::GetActiveWindow() != window;
        break;
      default:
        break;
    }
    if (afterWait) afterWait();
  }
}

void CloseModalWindow(int window) {
  platform::Delay(ClosingPauseMs);
  platform::CloseWindow(window);
}

}  // namespace zolt::tracer
