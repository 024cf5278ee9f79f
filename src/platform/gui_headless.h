// Headless gui: the test side of the in-memory implementation of gui.h.
//
// Windows and gadgets are objects with the same numbers, texts and states as real ones.
// A test injects events, moves the pointer, scripts the folder chooser, and reads back
// every message box, help request and the last frame copied to the surface.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui.h"

namespace zolt::platform::headless {

// Forgets every window, gadget, queued event and record; dots per inch back to 96.
void Reset();

// Display density used by InitialiseGui and the window sizes (96 by default).
void SetDpi(double horizontal, double vertical);

// Queues an event; WaitWindowEvent hands them out in order, one per call.
void PushEvent(const WindowEvent& event);
// Resizes a window's client area (device pixels) and queues its Size event.
void ResizeWindow(int window, int width, int height);
// Queues a Close event for a window.
void PushClose(int window);
// Hands the activation to another window (-1: another application's) and queues the
// Deactivate event of `window`.
void PushDeactivate(int window, int nowActive);

// The pointer position in client pixels of the main window (-1, -1 outside).
void SetMousePosition(int x, int y);
// Moves the pointer and queues a left button press / release there.
void PushLeftButtonDown(int window, int x, int y);
void PushLeftButtonUp(int window, int x, int y);

// Called at the start of every WaitWindowEvent, before an event is taken: lets a test
// watch the program turn by turn and inject events. Cleared by Reset.
void SetWaitHook(std::function<void()> hook);

// Runs the handler given to SetDisplayLostHandler, as a lost display would (the program
// goes on afterwards here).
void LoseDisplay();

// Makes OpenWindow or OpenSurface fail (to test the failure paths).
void FailNextWindowOpen();
void FailNextSurfaceOpen();

// Message boxes shown, in order.
struct ShownMessage {
  std::string Title;
  std::string Text;
  MessageIcon Icon = MessageIcon::None;
};
const std::vector<ShownMessage>& MessagesShown();

// Answers of the folder chooser, used in order; an empty answer means cancelled.
void ScriptFolderChoice(const std::string& folder);
// The folder chooser's openings, in order: its title and the folder it was to open at.
struct FolderRequest {
  std::string Title;
  std::string InitialFolder;
};
const std::vector<FolderRequest>& FolderRequests();

struct HelpRequest {
  std::string File;
  std::string Topic;
};
const std::vector<HelpRequest>& HelpRequests();

// The image number last copied to the surface and how many frames were presented.
int LastCopiedImage();
int PresentCount();
// Width and height of the open surface (0 when closed).
int SurfaceWidth();
int SurfaceHeight();

// Where a gadget stands and how it looks. X and Y are relative to its tab's page when it
// stands on a tab; Panel and Tab name the tab control and tab (-1 on the client area).
// Window is -1 for a number that holds no gadget.
struct GadgetPlacement {
  int Window = -1;
  int X = 0, Y = 0, Width = 0, Height = 0;
  int Panel = -1, Tab = -1;
  int Flags = 0;
  uint32_t BackColour = 0;
};
GadgetPlacement PlacementOf(int gadget);

// Presses a button gadget / edits a text as a user would: updates its state and queues
// the gadget event.
void ClickGadget(int gadget);
void TypeIntoGadget(int gadget, const std::string& text);
void ChooseGadgetItem(int gadget, int item);

}  // namespace zolt::platform::headless
