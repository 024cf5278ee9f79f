// A small program for the real-window checks: it uses the gtk gui exactly as the
// program does and writes what it sees to a log file.
//
// Usage: gui_real_demo LOG-FILE            main window 23, 1400 x 800, with a canvas
//        gui_real_demo LOG-FILE --gadgets  window 300 with native controls
//        gui_real_demo LOG-FILE --dpi      logs the display's dots per inch and ends
//
// Main window: the canvas (1920 x 1080) is filled with 2060A0 and holds a F0C828 box at
// (100, 100), 100 x 100; it is shown through the surface every 16 ms. Every button event
// is logged with the pointer position the program reads ("LeftButtonDown 100 200"), a
// Close event is logged and ends the loop. Gadget window: every gadget event is logged
// as "Gadget <number> <kind>", with the check box's state after a change, and button
// presses and releases as in the main window.
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/system.h"

namespace {

using namespace zolt::platform;

constexpr int MainWindow = 23;
constexpr int GadgetWindow = 300;
constexpr int Canvas = 38;

std::FILE* Log = nullptr;

// Wall-clock milliseconds on stderr, to line the program's steps up with the checks'.
void Stamp(const char* what) {
  auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  std::fprintf(stderr, "%lld %s\n", static_cast<long long>(now.count()), what);
}

const char* EventName(EventType type) {
  switch (type) {
    case EventType::LeftButtonDown: return "LeftButtonDown";
    case EventType::LeftButtonUp: return "LeftButtonUp";
    case EventType::LeftDoubleClick: return "LeftDoubleClick";
    default: return "";
  }
}

const char* KindName(GadgetEventKind kind) {
  switch (kind) {
    case GadgetEventKind::Change: return "Change";
    case GadgetEventKind::Focus: return "Focus";
    case GadgetEventKind::LostFocus: return "LostFocus";
    case GadgetEventKind::None: break;
  }
  return "None";
}

void PaintCanvas() {
  CreateImage(Canvas, 1920, 1080);
  StartDrawing(Canvas);
  DrawBox(0, 0, 1920, 1080, MakeColour(0x20, 0x60, 0xA0));
  DrawBox(100, 100, 100, 100, MakeColour(0xF0, 0xC8, 0x28));
  StopDrawing();
}

int RunMainWindow() {
  int flags = WindowTitleBar | WindowSystemMenu | WindowMinimizeBox | WindowMaximizeBox |
              WindowSizeable | WindowCentred;
  if (!OpenWindow(MainWindow, 0, 0, 1400, 800, "ZOLT real-window check", flags)) return 3;
  PaintCanvas();
  OpenSurface(MainWindow, WindowClientWidth(MainWindow), WindowClientHeight(MainWindow));
  int64_t lastTick = 0;
  for (;;) {
    WindowEvent event = WaitWindowEvent(1);
    switch (event.Type) {
      case EventType::LeftButtonDown:
      case EventType::LeftButtonUp:
      case EventType::LeftDoubleClick:
        std::fprintf(Log, "%s %d %d\n", EventName(event.Type), WindowMouseX(MainWindow),
                     WindowMouseY(MainWindow));
        break;
      case EventType::Size:
        CloseSurface();
        OpenSurface(MainWindow, WindowClientWidth(MainWindow), WindowClientHeight(MainWindow));
        break;
      case EventType::Close:
        Stamp("close seen");
        std::fprintf(Log, "Close\n");
        return 0;
      default: break;
    }
    if (IsSurfaceOpen() && ElapsedMilliseconds() > lastTick + 16) {
      CopyImageToSurface(Canvas, 0, 0);
      PresentSurface();
      lastTick = ElapsedMilliseconds();
    }
  }
}

int RunGadgetWindow() {
  if (!OpenWindow(GadgetWindow, 0, 0, 1300, 800, "ZOLT gadget check",
                  WindowTitleBar | WindowSystemMenu | WindowCentred)) {
    return 3;
  }
  // Outside the tab control (built before it, since the controls after a tab go on
  // that tab), at places the checks click.
  ButtonGadget(500, GadgetWindow, 20, 740, 120, 30, "Press me");
  CheckBoxGadget(501, GadgetWindow, 200, 745, 160, 20, "Tick me");
  StringGadget(502, GadgetWindow, 400, 745, 200, 20, "typed text", GadgetRightAligned);
  TextGadget(503, GadgetWindow, 800, 745, 150, 20, "A static text");
  PanelGadget(40, GadgetWindow, 5, 5, 1290, 700);
  AddGadgetItem(40, "Comms");
  TextGadget(1, GadgetWindow, 24, 27, 600, 20, "Scan for available COM ports", GadgetCentred);
  SetGadgetBackColour(1, MakeColour(0xC0, 0xE0, 0xFF));
  TextGadget(2, GadgetWindow, 24, 51, 288, 20, "COM port is currently set to --->");
  StringGadget(277, GadgetWindow, 312, 48, 96, 20, "COM 1", GadgetReadOnly);
  ButtonGadget(278, GadgetWindow, 312, 72, 96, 20, "Scan");
  StringGadget(279, GadgetWindow, 312, 96, 216, 20, "...scanning now complete",
               GadgetReadOnly | GadgetBorderless | GadgetRightAligned);
  ComboBoxGadget(281, GadgetWindow, 312, 120, 216, 20);
  AddGadgetItem(281, "COM 3");
  AddGadgetItem(281, "COM 5");
  SetGadgetState(281, 0);
  TextGadget(3, GadgetWindow, 24, 147, 288, 20, "A text with a frame", GadgetBorder);
  AddGadgetItem(40, "Calibration");
  ButtonGadget(290, GadgetWindow, 312, 48, 96, 20, "Export");
  SetGadgetState(40, 0);
  for (;;) {
    WindowEvent event = WaitWindowEvent(1);
    if (event.Type == EventType::Close) {
      Stamp("close seen");
      std::fprintf(Log, "Close\n");
      return 0;
    }
    if (event.Type == EventType::LeftButtonDown || event.Type == EventType::LeftButtonUp) {
      std::fprintf(Log, "%s %d %d\n", EventName(event.Type), WindowMouseX(GadgetWindow),
                   WindowMouseY(GadgetWindow));
    }
    if (event.Type == EventType::Gadget) {
      std::fprintf(Log, "Gadget %d %s", event.Gadget, KindName(event.Kind));
      if (event.Gadget == 501) std::fprintf(Log, " state %d", GetGadgetState(501));
      std::fprintf(Log, "\n");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s LOG-FILE [--gadgets]\n", argv[0]);
    return 2;
  }
  Log = std::fopen(argv[1], "w");
  if (Log == nullptr) return 2;
  std::setvbuf(Log, nullptr, _IOLBF, 0);
  if (!InitialiseGui()) {
    std::fprintf(stderr, "no display\n");
    return 3;
  }
  const std::string mode = argc > 2 ? argv[2] : "";
  int result = 0;
  if (mode == "--dpi") {
    std::fprintf(Log, "%g %g\n", DisplayDpiX(), DisplayDpiY());
  } else {
    result = mode == "--gadgets" ? RunGadgetWindow() : RunMainWindow();
  }
  std::fclose(Log);
  Stamp("ending");
  return result;
}
