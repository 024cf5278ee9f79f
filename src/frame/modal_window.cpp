// The event loop of the program's modal native windows.
#include "frame/modal_window.h"

#include "frame/app.h"
#include "platform/system.h"

namespace zolt::frame {

namespace {
constexpr int EventWaitMs = 1;
constexpr int ClosingPauseMs = 500;
}  // namespace

void RunModalWindow(int window, const std::function<bool(const platform::WindowEvent&)>& onGadget,
                    const std::function<void()>& eachPass) {
  // Until the window has had the activation once, a deactivation is that of the window it
  // was opened from (the display may hand the activation over a little later).
  bool hadActivation = platform::GetActiveWindow() == window;
  for (bool closing = false; !closing;) {
    if (eachPass) eachPass();
    const platform::WindowEvent event = platform::WaitWindowEvent(EventWaitMs);
    FrameLoopState.LastEvent = static_cast<int32_t>(event.Type);
    const bool active = platform::GetActiveWindow() == window;
    hadActivation = hadActivation || active;
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
        closing = event.Window == window && hadActivation && !active;
        break;
      default:
        break;
    }
    // A termination signal closes the window on the way to closing the program; a window
    // that another program took away (destroyed) is closed, or the loop would wait for it
    // for ever with the main window shut out.
    closing = closing || platform::StopSignalReceived() != 0 || !platform::IsWindow(window);
  }
}

void CloseModalWindow(int window) {
  platform::Delay(ClosingPauseMs);
  platform::CloseWindow(window);
}

}  // namespace zolt::frame
