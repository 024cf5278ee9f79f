// The curve tracer's start-up and the main layout.
//
// Sections: start-up; layout.
#include "tracer/startup.h"

#include <string>

#include "frame/app.h"
#include "frame/numbers.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "frame/update.h"
#include "link/calibration.h"
#include "link/calibration_stream.h"
#include "platform/system.h"
#include "screen/colours.h"
#include "screen/plot_area.h"
#include "screen/surface.h"
#include "tracer/cursors.h"
#include "tracer/run_file.h"
#include "tracer/run_phases.h"
#include "tracer/setup.h"
#include "tracer/test_config.h"

namespace zolt::tracer {

// ---- start-up ----

void StartCurveTracer() {
  // At the end of the program the instrument is left with its high voltage off.
  frame::CurveTracerFrontEnd.Stop = StopCurveTracer;
  frame::CheckDeveloperMode();
  frame::LoadUiTexts();
  screen::SetColourScheme();
  // The first open happens before the window is measured; the second gets the real size.
  screen::OpenGraphScreen();
  screen::CloseGraphScreen();
  screen::OpenGraphScreen();

  link::CalibrationStreamRecord& cal = link::CalibrationStream;
  cal.CalibrationFile = "settings/KVR820_cal.txt";
  link::ReadCalibrationFile(cal.CalibrationFile);
  link::ComputeCalibrationCoefficients();
  cal.CalStreamState = link::CalStreamAwaitMarker;

  // The newest stored run: asking for the highest number makes the loader scan the folder,
  // from which a save cut short by an earlier end of the program is cleared first, as is
  // the folder the copies go to.
  platform::RemoveLeftoverTemporaries(SampleRunFolder);
  if (frame::ToLower(frame::AppSettings.SaveCSVFileEnabled) == "yes") {
    const std::string copies = frame::SettingFolderPath(frame::AppSettings.SaveCSVFileLocation);
    platform::RemoveLeftoverTemporaries(copies.empty() ? "." : copies);
  }
  SampleRunNumber = 9999;
  SampleRunCount = 1;
  LoadSampleRun();

  LoadTestConfigurations();
  TestConfiguration = 100;  // the first pass of the handler applies it

  frame::FrameLoopState.MainLayoutVariant = 1;
  ComputeMainLayout(frame::FrameLoopState.MainLayoutVariant);
  RecalculateTestSetup();
  frame::LoadUiTexts();

  frame::RunUpdateCheck();

  for (CursorRecord* cursor : {&CursorXA, &CursorXB, &CursorYA, &CursorYB}) cursor->Shown = 1;
  CursorXLock.Locked = 0;
  CursorYLock.Locked = 0;
}

// ---- layout ----

void ComputeMainLayout(int32_t apply) {
  const int32_t w = screen::ScreenState.ScreenWidth;
  const int32_t h = screen::ScreenState.ScreenHeight;
  // Beside the left column (margin 3, column 297, margin 3); the graph painting moves the
  // plot rectangle to the plot it draws on every pass.
  const screen::PixelRect graph{303, 78, w - 306, h - 231};
  const screen::PixelRect strip{303, h - 151, w - 306, 148};
  if (apply == 1) {
    screen::PlotRect = graph;
    screen::BelowPlotRect = strip;
  }
}

}  // namespace zolt::tracer
