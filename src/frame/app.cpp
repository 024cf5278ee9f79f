// Program start and main loop.
//
// Sections: start-up; one turn of the main loop.
#include "frame/app.h"

#include "frame/crash.h"
#include "frame/csv.h"
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
// "PMX400" in any letter case, the curve tracer's for every other name).
const FrontEnd& ActiveFrontEnd() {
  const ModelRow* row = FindModel(AppSettings.ActiveInstrument);
  return (row != nullptr && row->PowerAnalyser) ? PowerAnalyserFrontEnd : CurveTracerFrontEnd;
}

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

}  // namespace

int MainProgram() {
  SetDefaults();
  platform::InstallFaultHandler(ErrorHandler);
  if (!platform::InitialiseGui()) {
    platform::ShowMessageBox("Error", "Can't open screen & sprite environment!",
                             platform::MessageIcon::None);
    return 1;
  }
  screen::ScreenState.WindowWidth = 1400;
  screen::ScreenState.WindowHeight = 800;
  ReadSystemSettings(SettingsPath);
  // PNG decoding needs no preparation: the draw part decodes on load.
  ApplyModelTable();
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
}

void DrawingPass() {
  // Only the exact names have a drawing chain.
  const std::string& model = AppSettings.ActiveInstrument;
  if (model == "PMX40" && PowerAnalyserFrontEnd.DrawScreen != nullptr) {
    PowerAnalyserFrontEnd.DrawScreen();
  } else if (model == "KVR820" && CurveTracerFrontEnd.DrawScreen != nullptr) {
    CurveTracerFrontEnd.DrawScreen();
  }
  ApplyChangedLanguage();
  if (screen::ScreenState.ScreenOpen == 1) platform::CopyImageToSurface(screen::CanvasImage, 0, 0);
  platform::PresentSurface();
  FrameLoopState.LastTick = platform::ElapsedMilliseconds();
}

void RunMainLoopTurn() {
  FrameLoopStateRecord& loop = FrameLoopState;
  LastWindowEvent = platform::WaitWindowEvent(1);
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

  if (screen::ScreenState.ScreenOpen == 1 &&
      platform::ElapsedMilliseconds() > loop.LastTick + 16)
    DrawingPass();

  loop.RedrawAll = 0;
}

}  // namespace

}  // namespace zolt::frame
