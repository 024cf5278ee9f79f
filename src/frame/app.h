// Program start and main loop.
//
// MainProgram sets the defaults, installs the crash handler, starts drawing, reads the
// settings, picks the model's front end from "activeInstrument", opens the main window
// and turns the main loop: one window event per turn, the front end's per-frame handler
// every turn, and at most every 16 ms a drawing pass that paints, applies a changed
// language and shows the canvas, left out while the screen has not changed. Turns are
// paced to a fixed grid of 1 ms deadlines, so the loop turns about a thousand times a
// second whatever each turn's work costs.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gui.h"

namespace zolt::frame {

constexpr int MainWindow = 23;
constexpr int PowerAnalyserWindow = 269;

struct AppInfoRecord {
  double ProgramVersion = 25.017;
  std::string UpdateUrl;    // the update notice's address on the maker's web server
  std::string ManualPath = "help/KVR_MANUAL.chm";
  std::string WorkText;     // the main window title at start; scratch text later
  int32_t DeveloperMode = 0;
  std::string MicroSign = "\xC2\xB5";
};

inline AppInfoRecord AppInfo;

struct FrameLoopStateRecord {
  int32_t LastEvent = 0;  // the last event's type (platform::EventType), 0 = none
  int32_t QuitRequested = 0;
  int32_t CloseRequest = 0;
  int32_t ResizePending = 0;
  int32_t RedrawAll = 0;  // 1: the next drawing pass paints the whole screen; that pass clears it
  int32_t MainLayoutVariant = 1;
  int32_t MainLayoutVariantSeen = -1;
  int64_t LastTick = 0;
  int32_t RedrawRequested = 0;  // 1: the next drawing pass is not left out (RequestRedraw)
  int64_t LastPassCheck = 0;    // millisecond clock when a due pass was last drawn or left out
  int64_t TurnDeadline = 0;     // microseconds: when the current turn's event wait ends
};

inline FrameLoopStateRecord FrameLoopState;

// The whole event taken by the last turn (window and gadget), for the handlers that
// serve control events. Main thread only.
inline platform::WindowEvent LastWindowEvent;

// One front end per instrument family: its start-up, its per-frame handler, its
// drawing chain (run in the drawing pass only for the model that names it) and its
// shutdown, run once after the main loop has ended to leave the instrument safe.
//
// ScreenChanged, when a front end has it, is asked when a drawing pass is due: false
// when nothing its screen shows has changed since the last pass, which is then left out
// (the canvas on the surface is still right). A front end without it is drawn at every
// pass. A redraw asked for (RequestRedraw, RedrawAll) or a language still to be applied
// draws in any case.
struct FrontEnd {
  void (*Start)() = nullptr;
  void (*HandleFrame)() = nullptr;
  void (*DrawScreen)() = nullptr;
  bool (*ScreenChanged)() = nullptr;
  void (*Stop)() = nullptr;
};

// The front ends the main loop runs. Tests replace them with their own handlers.
inline FrontEnd CurveTracerFrontEnd;
inline FrontEnd PowerAnalyserFrontEnd;

// The model table: title tail, manual and front end of a model name (upper-cased).
struct ModelRow {
  const char* Model;
  const char* TitleTail;
  const char* Manual;
  bool PowerAnalyser;
};
// The row for a name (compared in upper case); nullptr for an unlisted name.
const ModelRow* FindModel(const std::string& name);

// Applies the model table to AppSettings.ActiveInstrument: sets AppInfo.WorkText (the
// window title) and AppInfo.ManualPath; an empty or unlisted name becomes "KVR820".
void ApplyModelTable();

// The process entry: returns when the main window has been closed (or start-up failed).
int MainProgram();

// Sets AppInfo.DeveloperMode from the presence of "developermode.txt".
void CheckDeveloperMode();

// Opens "help/KVR_MANUAL.chm" at "SelectingInstrument.htm".
void ShowSelectingInstrumentHelp();

// Makes the next drawing pass draw even when the front end sees no change: for code that
// changed what the screen shows behind the front end's back (a window of its own that
// closed, say).
void RequestRedraw();

}  // namespace zolt::frame
