// Program start and main loop.
//
// Sections: start-up; one turn of the main loop.
#include "frame/app.h"

#include <algorithm>
#include <string>

#include "frame/crash.h"
#include "frame/csv.h"
#include "frame/log.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "frame/update.h"
#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/system.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"

namespace zolt::frame {

// ---- start-up ----

namespace {

// The front end of the model in AppSettings (the power analysers' for "PMX40" and
// "PMX400" in any letter case, the curve tracer's for every other name). The model is
// read once at start-up, so the choice is made there and kept for the program's run.
const FrontEnd* ChosenFrontEnd = &CurveTracerFrontEnd;

void ChooseFrontEnd() {
  const ModelRow* row = FindModel(AppSettings.ActiveInstrument);
  ChosenFrontEnd = (row != nullptr && row->PowerAnalyser) ? &PowerAnalyserFrontEnd : &CurveTracerFrontEnd;
}

const FrontEnd& ActiveFrontEnd() { return *ChosenFrontEnd; }

// The frame's own records back at their defaults, its tables empty.
void SetDefaults() {
  AppInfo = AppInfoRecord{};
  FrameLoopState = FrameLoopStateRecord{};
  AppSettings = AppSettingsRecord{};
  LanguageState = LanguageStateRecord{};
  Captions = UiCaptions{};
  ClearLanguageTable();
  ClearStringGrid(0, 0);
  CsvRowCount = 0;
  CsvColumnCount = 0;
  screen::PointerState.LeftMouseDown = 0;
  UpdateServer = ConfiguredUpdateServer();
  AppInfo.UpdateUrl = UpdateServer + UpdateNoticeQuery;
}

bool OpenMainWindow() {
  // The client area is given in 96-dpi units and opened in device pixels.
  const int width = RoundToInt32(screen::ScreenState.WindowWidth * platform::DisplayDpiX() / 96.0);
  const int height = RoundToInt32(screen::ScreenState.WindowHeight * platform::DisplayDpiY() / 96.0);
  const int flags = platform::WindowTitleBar | platform::WindowSystemMenu |
                    platform::WindowMinimizeBox | platform::WindowMaximizeBox |
                    platform::WindowSizeable | platform::WindowCentred;
  return platform::OpenWindow(MainWindow, 0, 0, width, height, AppInfo.WorkText, flags);
}

void RunMainLoopTurn();

// The display is gone, or failed, and the program with it, but the instrument is left
// safe first.
void LeaveOnLostDisplay(const std::string& what) {
  AppendLogLine(what + "; the program ended.");
  const FrontEnd& frontEnd = ActiveFrontEnd();
  if (frontEnd.Stop != nullptr) frontEnd.Stop();
}

}  // namespace

int MainProgram() {
  SetDefaults();
  platform::InstallFaultHandler(ErrorHandler);
  platform::WatchStopSignals();
  if (!platform::InitialiseGui()) {
    platform::ShowMessageBox("Error", "Can't open screen & sprite environment!",
                             platform::MessageIcon::None);
    return 1;
  }
  screen::ScreenState.WindowWidth = 1400;
  screen::ScreenState.WindowHeight = 800;
  platform::SetDisplayLostHandler(LeaveOnLostDisplay);
  ReadSystemSettings(SettingsPath);
  // PNG decoding needs no preparation: the draw part decodes on load.
  ApplyModelTable();
  ChooseFrontEnd();
  if (!OpenMainWindow()) return 0;

  const FrontEnd& frontEnd = ActiveFrontEnd();
  if (frontEnd.Start != nullptr) {
    frontEnd.Start();
  } else {
    // A front end without a start-up of its own still shows the canvas.
    screen::CloseGraphScreen();
    screen::OpenGraphScreen();
  }
  screen::CreateCanvasImage();

  do {
    RunMainLoopTurn();
  } while (FrameLoopState.QuitRequested != 1);

  const FrontEnd& ending = ActiveFrontEnd();
  if (ending.Stop != nullptr) ending.Stop();
  return 0;
}

// ---- one turn of the main loop ----

namespace {

// Turns are paced to a grid of 1 ms deadlines: a turn's wait ends at its deadline or
// with an event, so the turn's own work does not lengthen the period. A wait cut short by
// an event keeps its deadline for the next turn; a loop that fell far behind (a long pass,
// a window of its own) starts the grid afresh rather than racing to catch up.
constexpr int64_t TurnMicroseconds = 1000;
constexpr int64_t MaxTurnBacklog = 16 * TurnMicroseconds;

platform::WindowEvent WaitForTurnEvent() {
  FrameLoopStateRecord& loop = FrameLoopState;
  const int64_t now = platform::ElapsedMicroseconds();
  if (now >= loop.TurnDeadline)
    loop.TurnDeadline = std::max(loop.TurnDeadline, now - MaxTurnBacklog) + TurnMicroseconds;
  return platform::WaitWindowEventUntil(loop.TurnDeadline);
}

// Applies a changed language: records the setting, loads the language file and
// re-labels the captions, which appear from the next drawing pass on.
void ApplyChangedLanguage() {
  const std::string& language = AppSettings.Language;
  if (language == LanguageState.LanguageApplied) return;
  LanguageState.LanguageApplied = language;
  WriteKeyValue(SettingsPath, "Language", language);
  LoadLanguageTable(LanguageFile);
  LanguageState.LanguageColumn = FindLanguageColumn(language);
  LoadUiTexts();
  FrameLoopState.RedrawRequested = 1;  // the new captions show in the next pass
}

// Whether a due drawing pass is drawn: always for a front end that cannot tell, when a
// redraw was asked for, or with a language still to be applied; otherwise only when the
// front end sees its screen changed. The front end is asked in any case, so that it
// knows what the pass about to run shows.
bool PassWanted(const FrontEnd& frontEnd) {
  const FrameLoopStateRecord& loop = FrameLoopState;
  const bool changed = frontEnd.ScreenChanged == nullptr || frontEnd.ScreenChanged();
  return changed || loop.RedrawRequested == 1 || loop.RedrawAll == 1 ||
         AppSettings.Language != LanguageState.LanguageApplied;
}

void DrawingPass() {
  // Only the exact names have a drawing chain: both power analysers share theirs.
  const std::string& model = AppSettings.ActiveInstrument;
  if ((model == "PMX40" || model == "PMX400") && PowerAnalyserFrontEnd.DrawScreen != nullptr) {
    PowerAnalyserFrontEnd.DrawScreen();
  } else if (model == "KVR820" && CurveTracerFrontEnd.DrawScreen != nullptr) {
    CurveTracerFrontEnd.DrawScreen();
  }
  ApplyChangedLanguage();
  if (screen::ScreenState.ScreenOpen == 1) platform::CopyImageToSurface(screen::CanvasImage, 0, 0);
  platform::PresentSurface();
  FrameLoopState.LastTick = platform::ElapsedMilliseconds();
}

}  // namespace

void RequestRedraw() { FrameLoopState.RedrawRequested = 1; }

namespace {

void RunMainLoopTurn() {
  FrameLoopStateRecord& loop = FrameLoopState;
  LastWindowEvent = WaitForTurnEvent();
  // A termination signal closes the program as its close box does, so the front end
  // leaves the instrument safe on the way out; so does a main window that another program
  // took away (destroyed), which would leave the program running with nothing on screen.
  const int stopSignal = platform::StopSignalReceived();
  if (stopSignal != 0 || !platform::IsWindow(MainWindow))
    LastWindowEvent = platform::WindowEvent{platform::EventType::Close, MainWindow};
  loop.LastEvent = static_cast<int32_t>(LastWindowEvent.Type);

  switch (LastWindowEvent.Type) {
    case platform::EventType::Size:
      loop.ResizePending = 1;
      break;
    case platform::EventType::Close:
      // While the power-analyser window is open a close event closes only that window.
      if (platform::IsWindow(PowerAnalyserWindow)) {
        loop.QuitRequested = 0;
        loop.CloseRequest = 1;
      } else {
        loop.QuitRequested = 1;
        if (stopSignal != 0) AppendLogLine("Ended by signal " + std::to_string(stopSignal) + ".");
      }
      break;
    case platform::EventType::LeftButtonDown:
    case platform::EventType::LeftDoubleClick:
      screen::PointerState.LeftMouseDown = 1;
      break;
    case platform::EventType::LeftButtonUp:
      screen::PointerState.LeftMouseDown = 0;
      break;
    default:
      break;
  }

  if (loop.MainLayoutVariant != loop.MainLayoutVariantSeen) {
    loop.MainLayoutVariantSeen = loop.MainLayoutVariant;
    loop.RedrawAll = 1;
  }

  const FrontEnd& frontEnd = ActiveFrontEnd();
  if (frontEnd.HandleFrame != nullptr) frontEnd.HandleFrame();

  // A pass left out counts like one drawn for the 16 ms between passes, unless a redraw
  // is asked for. A full redraw asked for stands until a pass has drawn it: passes come
  // at most every 16 ms, and a request dropped in a turn without one would leave the old
  // picture up.
  const int64_t now = platform::ElapsedMilliseconds();
  const bool redrawAsked = loop.RedrawRequested == 1 || loop.RedrawAll == 1;
  if (screen::ScreenState.ScreenOpen == 1 && now > loop.LastTick + 16 &&
      (redrawAsked || now > loop.LastPassCheck + 16)) {
    loop.LastPassCheck = now;
    if (PassWanted(frontEnd)) {
      loop.RedrawRequested = 0;
      DrawingPass();
      loop.RedrawAll = 0;
    }
  }
}

}  // namespace

}  // namespace zolt::frame
