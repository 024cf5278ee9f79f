#include "screen_fixture.h"

#include "frame/app.h"
#include "frame/fonts.h"
#include "frame/settings.h"
#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "screen/colours.h"
#include "screen/hot_zones.h"
#include "screen/plot_area.h"
#include "screen/surface.h"
#include "tracer/cursors.h"

namespace zolt::screen {

void ScreenTest::SetUp() {
  platform::headless::Reset();
  platform::InitialiseGui();
  ASSERT_TRUE(platform::OpenWindow(frame::MainWindow, 0, 0, 1400, 800, "ZOLT", platform::WindowSizeable));
  frame::LoadProgramFonts();
  frame::AppSettings.AlternateDisplayColours = "No";
  SetColourScheme();
  HotZone.fill({});
  for (auto& text : HotZoneText) text.clear();
  ClickedZone = 0;
  PointerState = {};
  PlotRect = {};
  for (tracer::CursorRecord* c : {&tracer::CursorXA, &tracer::CursorXB, &tracer::CursorYA, &tracer::CursorYB})
    *c = {};
  ScreenState = {};
}

void ScreenTest::TearDown() {
  platform::StopDrawing();
  platform::headless::Reset();
}

}  // namespace zolt::screen
