// The headless gui: events handed out one per wait, windows and their gadgets, the
// surface records, dialogs and the user actions a test performs.
#include <gtest/gtest.h>

#include "platform/draw.h"
#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "platform/system.h"

namespace zolt::platform {
namespace {

class HeadlessGui : public ::testing::Test {
 protected:
  void SetUp() override { headless::Reset(); }
  void TearDown() override { headless::Reset(); }
};

TEST_F(HeadlessGui, EventsComeOutOneAtATimeAfterTheHookAndThenNone) {
  ASSERT_TRUE(OpenWindow(23, 0, 0, 1400, 800, "main", WindowSizeable));
  int hookCalls = 0;
  headless::SetWaitHook([&] {
    if (++hookCalls == 1) headless::PushLeftButtonDown(23, 5, 6);  // injected turn by turn
  });
  headless::ResizeWindow(23, 1000, 700);
  headless::PushClose(23);
  EXPECT_EQ(WaitWindowEvent(1).Type, EventType::Size);
  EXPECT_EQ(WindowClientWidth(23), 1000);
  EXPECT_EQ(WaitWindowEvent(1).Type, EventType::Close);
  const WindowEvent press = WaitWindowEvent(1);
  EXPECT_EQ(press.Type, EventType::LeftButtonDown);
  EXPECT_EQ(press.Window, 23);
  EXPECT_EQ(WindowMouseX(23), 5);
  EXPECT_EQ(WindowMouseY(23), 6);
  const int64_t before = ElapsedMilliseconds();
  EXPECT_EQ(WaitWindowEvent(1).Type, EventType::None);
  EXPECT_GE(ElapsedMilliseconds() - before, 1);
  EXPECT_EQ(hookCalls, 4);
  headless::SetMousePosition(-1, -1);
  EXPECT_EQ(WindowMouseX(23), -1);
}

TEST_F(HeadlessGui, InitialisingPassesTheDotsPerInchToTheDrawPart) {
  headless::SetDpi(144, 120);
  EXPECT_TRUE(InitialiseGui());
  EXPECT_EQ(DisplayDpiX(), 144);
  EXPECT_EQ(DisplayDpiY(), 120);
  headless::Reset();
  EXPECT_EQ(DisplayDpiY(), 96);
}

TEST_F(HeadlessGui, ClosingAWindowTakesItsGadgetsAndSurfaceWithIt) {
  ASSERT_TRUE(OpenWindow(23, 0, 0, 300, 200, "main", 0));
  ASSERT_TRUE(OpenWindow(50, 0, 0, 100, 100, "other", 0, 23));
  ASSERT_TRUE(ButtonGadget(100, 50, 0, 0, 10, 10, "OK"));
  ASSERT_TRUE(ButtonGadget(101, 23, 0, 0, 10, 10, "Keep"));
  EXPECT_FALSE(ButtonGadget(102, 51, 0, 0, 10, 10, "no window"));
  ASSERT_TRUE(OpenSurface(23, 300, 200));
  CloseWindow(50);
  EXPECT_FALSE(IsWindow(50));
  EXPECT_FALSE(IsGadget(100));
  EXPECT_TRUE(IsGadget(101));
  EXPECT_TRUE(IsSurfaceOpen());
  CloseWindow(23);
  EXPECT_FALSE(IsSurfaceOpen());
  EXPECT_EQ(WindowClientWidth(23), 0);
  EXPECT_EQ(WindowTitle(23), "");
}

TEST_F(HeadlessGui, ScriptedFailuresAndTheSurfaceRecords) {
  headless::FailNextWindowOpen();
  EXPECT_FALSE(OpenWindow(23, 0, 0, 10, 10, "main", 0));
  ASSERT_TRUE(OpenWindow(23, 0, 0, 10, 10, "main", 0));
  headless::FailNextSurfaceOpen();
  EXPECT_FALSE(OpenSurface(23, 10, 10));
  ASSERT_TRUE(OpenSurface(23, 0, 0));  // a surface of no size opens too
  ASSERT_TRUE(OpenSurface(23, 15, 12));
  EXPECT_EQ(headless::SurfaceWidth(), 15);
  EXPECT_EQ(headless::SurfaceHeight(), 12);
  ASSERT_TRUE(CreateImage(38, 4, 4));
  CopyImageToSurface(38, 0, 0);
  PresentSurface();
  PresentSurface();
  EXPECT_EQ(headless::LastCopiedImage(), 38);
  EXPECT_EQ(headless::PresentCount(), 2);
  CloseSurface();
  PresentSurface();
  EXPECT_EQ(headless::PresentCount(), 2);
  EXPECT_EQ(headless::SurfaceWidth(), 0);
  FreeImage(38);
}

TEST_F(HeadlessGui, DialogsAreRecordedAndAnsweredFromTheScript) {
  ShowMessageBox("Error", "Can't open", MessageIcon::Error);
  ASSERT_EQ(headless::MessagesShown().size(), 1u);
  EXPECT_EQ(headless::MessagesShown()[0].Title, "Error");
  EXPECT_EQ(headless::MessagesShown()[0].Icon, MessageIcon::Error);
  headless::ScriptFolderChoice("/tmp/results");
  headless::ScriptFolderChoice("");
  EXPECT_EQ(ChooseFolder("Choose", ""), "/tmp/results/");
  EXPECT_EQ(ChooseFolder("Choose", ""), "");  // cancelled
  EXPECT_EQ(ChooseFolder("Choose", ""), "");  // no answer left
  OpenHelp("help/KVR820_MANUAL.chm", "Cursors.htm");
  ASSERT_EQ(headless::HelpRequests().size(), 1u);
  EXPECT_EQ(headless::HelpRequests()[0].Topic, "Cursors.htm");
}

TEST_F(HeadlessGui, UserActionsChangeStatesAndQueueGadgetEvents) {
  ASSERT_TRUE(OpenWindow(60, 0, 0, 300, 200, "settings", 0));
  ASSERT_TRUE(CheckBoxGadget(200, 60, 0, 0, 10, 10, "Yes"));
  ASSERT_TRUE(ComboBoxGadget(201, 60, 0, 0, 10, 10));
  ASSERT_TRUE(StringGadget(203, 60, 0, 0, 10, 10, "fixed", GadgetReadOnly));
  AddGadgetItem(201, "COM1");
  AddGadgetItem(201, "COM2");
  EXPECT_EQ(GetGadgetState(201), -1);
  headless::ClickGadget(200);
  headless::ChooseGadgetItem(201, 1);
  headless::ChooseGadgetItem(201, 7);      // no such item: nothing happens
  headless::TypeIntoGadget(203, "typed");  // read-only: nothing happens
  DisableGadget(200, true);
  headless::ClickGadget(200);              // disabled: nothing happens
  EXPECT_EQ(GetGadgetState(200), 1);
  EXPECT_EQ(GetGadgetText(201), "COM2");
  EXPECT_EQ(GetGadgetText(203), "fixed");
  for (int expected : {200, 201}) {
    const WindowEvent e = WaitWindowEvent(0);
    EXPECT_EQ(e.Type, EventType::Gadget);
    EXPECT_EQ(e.Window, 60);
    EXPECT_EQ(e.Gadget, expected);
  }
  EXPECT_EQ(WaitWindowEvent(0).Type, EventType::None);
}

}  // namespace
}  // namespace zolt::platform
