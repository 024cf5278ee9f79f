// The tabbed settings window: window 300 with the tab control 40 and thirteen tabs, each
// served by one page procedure (pages.h). It runs its own event loop in the main thread
// until its close box is used or it loses the activation; meanwhile the main loop, the
// run phases and the screen stand still and only the reader thread works.
//
// Main thread only.
#pragma once

#include <cstdint>

namespace zolt::settingswindow {

constexpr int SettingsWindowNumber = 300;
constexpr int SettingsWindowWidth = 1300;
constexpr int SettingsWindowHeight = 800;
constexpr int TabControl = 40;
constexpr int TabCount = 13;

// Opens the window on the tab of the panel whose settings mark (hot zone) was clicked,
// and returns once it has been closed. A window that cannot open is reported.
void OpenSettingsWindow(int32_t zone);

// The tab a zone opens the window on: the panel's own tab, the language tab (0) for any
// zone that names none.
int32_t TabOfZone(int32_t zone);

// Hands the curve tracer's serial slot over to the COM port page's probe: stops and joins
// the reader, disconnects the instrument and leaves the run state disconnected. Set by
// the front end that opens the window; when unset, the reader is stopped and the port
// closed without touching any run state.
inline void (*ReleaseInstrumentLink)() = nullptr;

}  // namespace zolt::settingswindow
