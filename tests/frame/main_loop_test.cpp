// The program's start-up and main loop, driven headless: a wait hook watches the
// program turn by turn and queues the events.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "frame/app.h"
#include "frame/log.h"
#include "frame/settings.h"
#include "default_settings.h"
#include "frame/translate.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"
#include "support/temp_folder.h"

namespace zolt::frame {
namespace {

using platform::headless::PresentCount;
using testing::ReadFile;
using testing::WriteFile;

// What the test front ends saw, turn by turn.
struct Seen {
  int Starts = 0;
  int Frames = 0;
  int Draws = 0;
  int StopsAfterFrames = -1;  // the frames seen when the shutdown ran
  std::vector<int> RedrawAll;
  std::vector<int> RedrawAllDrawn;  // RedrawAll as each drawing pass saw it
  std::vector<int> LeftMouseDown;
  std::vector<std::string> ConnectCaption;
};
Seen CurveTracer, PowerAnalyser;

void RecordFrame(Seen& seen) {
  ++seen.Frames;
  seen.RedrawAll.push_back(FrameLoopState.RedrawAll);
  seen.LeftMouseDown.push_back(screen::PointerState.LeftMouseDown);
}

void InstallTestFrontEnds() {
  CurveTracer = Seen{};
  PowerAnalyser = Seen{};
  CurveTracerFrontEnd = {
      [] {
        ++CurveTracer.Starts;
        screen::CloseGraphScreen();
        screen::OpenGraphScreen();
      },
      [] { RecordFrame(CurveTracer); },
      [] {
        ++CurveTracer.Draws;
        CurveTracer.RedrawAllDrawn.push_back(FrameLoopState.RedrawAll);
        CurveTracer.ConnectCaption.push_back(Captions.Connect);
      },
      nullptr,
      [] { CurveTracer.StopsAfterFrames = CurveTracer.Frames; }};
  PowerAnalyserFrontEnd = {
      [] {
        ++PowerAnalyser.Starts;
        screen::CloseGraphScreen();
        screen::OpenGraphScreen();
      },
      [] { RecordFrame(PowerAnalyser); },
      [] { ++PowerAnalyser.Draws; }};
}

// A fresh gui and screen with the test front ends, as at a program start.
void FreshStart() {
  platform::headless::Reset();
  screen::ScreenState = screen::ScreenStateRecord{};
  InstallTestFrontEnds();
}

// Runs MainProgram; `step` is called at every event wait with the turn number (from 1)
// and returns true to queue a close of the main window. A safety limit ends runaway runs.
int RunProgram(const std::function<bool(int)>& step) {
  int turn = 0;
  platform::headless::SetWaitHook([&turn, &step] {
    ++turn;
    if (step(turn) || turn > 20000) platform::headless::PushClose(MainWindow);
  });
  const int result = MainProgram();
  platform::headless::SetWaitHook(nullptr);
  return result;
}

// Closes once `passes` frames have been presented.
std::function<bool(int)> CloseAfterPasses(int passes) {
  return [passes](int) { return PresentCount() >= passes; };
}

ino_t FileId(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_ino;
}

class MainLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshStart();
    testing::MakeFolder("settings");
  }
  void TearDown() override {
    CurveTracerFrontEnd = {};
    PowerAnalyserFrontEnd = {};
  }
  testing::TempFolder folder_;
};

TEST_F(MainLoopTest, FirstStartWritesTheDefaultsAndTheFirstPassRewritesTheLanguage) {
  CurveTracerFrontEnd = {};  // the program as it stands without a front end
  ino_t before = 0;
  EXPECT_EQ(RunProgram([&before](int turn) {
              if (turn == 1) before = FileId(SettingsPath);
              return PresentCount() >= 1;
            }),
            0);
  EXPECT_EQ(ReadFile(SettingsPath), NewSettingsFile);
  EXPECT_NE(FileId(SettingsPath), before);  // replaced by the language write
  EXPECT_EQ(LanguageState.LanguageApplied, "English");
  EXPECT_EQ(platform::WindowTitle(MainWindow), "ZOLT 25.017 by Brevaxo - KVR820 Curve Tracer");
  EXPECT_EQ(platform::WindowClientWidth(MainWindow), 1400);
  EXPECT_EQ(platform::WindowClientHeight(MainWindow), 800);
  EXPECT_EQ(platform::headless::LastCopiedImage(), screen::CanvasImage);
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
}

TEST_F(MainLoopTest, TranslatedCaptionsAppearFromTheSecondPass) {
  WriteFile(SettingsPath, "language=German\r\n");
  WriteFile("languages/language.csv", "English,German\r\nConnect,Verbinden\r\n");
  RunProgram(CloseAfterPasses(2));
  ASSERT_GE(CurveTracer.ConnectCaption.size(), 2u);
  EXPECT_EQ(CurveTracer.ConnectCaption[0], "");  // no front-end start set the captions
  EXPECT_EQ(CurveTracer.ConnectCaption[1], "Verbinden");
  EXPECT_EQ(LanguageState.LanguageColumn, 1);
  EXPECT_EQ(ReadKeyValue(SettingsPath, "Language"), "German");
  EXPECT_EQ(ReadFile(SettingsPath).rfind("Language=German\r\nactiveInstrument=", 0), 0u);
}

TEST_F(MainLoopTest, CloseEventEndsTheLoopInItsTurn) {
  RunProgram([](int turn) { return turn == 3; });
  EXPECT_EQ(CurveTracer.Frames, 3);
  EXPECT_EQ(FrameLoopState.QuitRequested, 1);
  EXPECT_EQ(CurveTracer.Starts, 1);
  EXPECT_EQ(CurveTracer.StopsAfterFrames, 3);  // the shutdown runs once, after the loop
  EXPECT_EQ(PowerAnalyser.Frames, 0);
}

// A termination signal ends the program as the close box does, through the front end's
// shutdown, and a lost display runs that shutdown at once; both leave a line in the log.
// A main window taken away ends it as the close box does.
TEST_F(MainLoopTest, ASignalOrALostDisplayEndsThroughTheFrontEndsShutdown) {
  RunProgram([](int turn) {
    if (turn == 3) ::raise(SIGTERM);
    return false;
  });
  EXPECT_EQ(CurveTracer.StopsAfterFrames, 3);
  EXPECT_NE(ReadFile(LogFile).find("Ended by signal 15."), std::string::npos);
  EXPECT_EQ(platform::StopSignalReceived(), SIGTERM);

  FreshStart();
  RunProgram([](int turn) {
    if (turn == 2) {
      EXPECT_EQ(platform::StopSignalReceived(), 0);  // each start forgets the last signal
      platform::headless::LoseDisplay();
      EXPECT_EQ(CurveTracer.StopsAfterFrames, 1);
    }
    return turn == 2;
  });
  EXPECT_NE(ReadFile(LogFile).find("The connection to the display was lost"), std::string::npos);

  FreshStart();
  RunProgram([](int turn) {
    if (turn == 3) platform::CloseWindow(MainWindow);  // as another program destroying it
    return false;
  });
  EXPECT_EQ(CurveTracer.StopsAfterFrames, 3);
}

TEST_F(MainLoopTest, CloseWhileThePowerAnalyserWindowIsOpenClosesOnlyThatWindow) {
  WriteFile(SettingsPath, "activeInstrument=PMX40\r\n");
  int closedAt = 0;
  RunProgram([&closedAt](int turn) {
    if (turn == 2) {
      platform::OpenWindow(PowerAnalyserWindow, 0, 0, 300, 200, "PMX", platform::WindowTitleBar);
      platform::headless::PushClose(MainWindow);
    }
    if (turn == 3) {
      EXPECT_EQ(FrameLoopState.CloseRequest, 1);
      EXPECT_EQ(FrameLoopState.QuitRequested, 0);
      FrameLoopState.CloseRequest = 0;  // the power analyser's handler consumes it
      platform::CloseWindow(PowerAnalyserWindow);
      closedAt = turn;
      return true;
    }
    return false;
  });
  EXPECT_EQ(closedAt, 3);
  EXPECT_EQ(PowerAnalyser.Frames, 3);
  EXPECT_EQ(FrameLoopState.QuitRequested, 1);
}

TEST_F(MainLoopTest, PowerAnalyserNamesPickTheirFrontEndAndOnlyTheExactNameDraws) {
  WriteFile(SettingsPath, "activeInstrument=PMX40\r\n");
  RunProgram(CloseAfterPasses(1));
  EXPECT_EQ(platform::WindowTitle(MainWindow),
            "ZOLT 25.017 (alpha) by Brevaxo - PMX40 Power Analyser");
  EXPECT_EQ(AppInfo.ManualPath, "help/PMX40_MANUAL.chm");
  EXPECT_EQ(PowerAnalyser.Starts, 1);
  EXPECT_GE(PowerAnalyser.Draws, 1);
  EXPECT_EQ(CurveTracer.Frames, 0);

  FreshStart();
  WriteFile(SettingsPath, "activeInstrument=PMX400\r\n");
  RunProgram(CloseAfterPasses(1));
  EXPECT_GE(PowerAnalyser.Draws, 1);

  FreshStart();
  WriteFile(SettingsPath, "activeInstrument=pmx400\r\n");
  RunProgram(CloseAfterPasses(1));
  EXPECT_EQ(AppSettings.ActiveInstrument, "pmx400");
  EXPECT_GE(PowerAnalyser.Frames, 1);
  EXPECT_EQ(PowerAnalyser.Draws, 0);
  EXPECT_EQ(ReadKeyValue(SettingsPath, "Language"), "English");  // the pass still ran
}

TEST_F(MainLoopTest, EmptyAndUnlistedModelsRunTheCurveTracer) {
  for (const char* name : {"", "KVR864"}) {
    FreshStart();
    WriteFile(SettingsPath, std::string("activeInstrument=") + name + "\r\n");
    RunProgram(CloseAfterPasses(1));
    EXPECT_EQ(platform::WindowTitle(MainWindow), "ZOLT 25.017 by Brevaxo - KVR820 Curve Tracer");
    EXPECT_EQ(AppInfo.ManualPath, "help/KVR820_MANUAL.chm");
    EXPECT_EQ(CurveTracer.Starts, 1);
    EXPECT_GE(CurveTracer.Draws, 1);
  }
  // The unlisted name stays in the file.
  EXPECT_EQ(ReadKeyValue(SettingsPath, "activeInstrument"), "KVR864");
}

TEST_F(MainLoopTest, ButtonEventsDriveTheLeftButtonAndALayoutChangeAsksForARedraw) {
  RunProgram([](int turn) {
    if (turn == 2) platform::headless::PushEvent({platform::EventType::LeftDoubleClick, MainWindow});
    if (turn == 3) platform::headless::PushLeftButtonUp(MainWindow, 5, 5);
    if (turn == 4) platform::headless::PushLeftButtonDown(MainWindow, 5, 5);
    if (turn == 5) FrameLoopState.MainLayoutVariant = 2;
    if (turn == 6) platform::headless::ResizeWindow(MainWindow, 1000, 700);
    return turn == 7;
  });
  EXPECT_EQ(CurveTracer.LeftMouseDown, (std::vector<int>{0, 1, 0, 1, 1, 1, 1}));
  // The first turn and the turn of the layout change ask for a full redraw.
  EXPECT_EQ(CurveTracer.RedrawAll[0] + CurveTracer.RedrawAll[4], 2);
  EXPECT_EQ(FrameLoopState.ResizePending, 1);
}

TEST_F(MainLoopTest, PassesOfAnUnchangedScreenAreLeftOutUntilAChangeOrARedrawRequest) {
  static bool changed = false;
  static int asked = 0;
  changed = false;
  asked = 0;
  CurveTracerFrontEnd.ScreenChanged = [] {
    ++asked;
    return std::exchange(changed, false);
  };
  // The first pass applies the language, the second shows its captions; then nothing
  // changes for 150 ms, until the screen changes, then a redraw is asked for, then a full
  // redraw in the turn right after a pass, when no pass is due: it stands until the next.
  int phase = 0;
  int64_t since = 0;
  int drawsWhileUnchanged = -1;
  RunProgram([&](int) {
    const int64_t now = platform::ElapsedMilliseconds();
    if (phase == 0 && CurveTracer.Draws == 2) phase = 1, since = now;
    if (phase == 1 && now - since > 150) drawsWhileUnchanged = CurveTracer.Draws, changed = true, phase = 2;
    if (phase == 2 && CurveTracer.Draws == 3) RequestRedraw(), phase = 3;
    if (phase == 3 && CurveTracer.Draws == 4) FrameLoopState.RedrawAll = 1, phase = 4, since = now;
    return phase == 4 && now - since > 50;
  });
  EXPECT_EQ(drawsWhileUnchanged, 2);
  EXPECT_EQ(CurveTracer.Draws, 5);
  EXPECT_EQ(CurveTracer.RedrawAllDrawn.back(), 1);
  EXPECT_EQ(FrameLoopState.RedrawAll, 0);
  EXPECT_EQ(PresentCount(), 5);
  EXPECT_GE(asked, 5);  // asked again while nothing changed, at most once per 16 ms
  EXPECT_LT(asked, 60);
}

TEST_F(MainLoopTest, WithoutASurfaceTheHandlerRunsButNothingIsDrawn) {
  platform::headless::FailNextSurfaceOpen();
  RunProgram([](int turn) { return turn == 40; });
  EXPECT_EQ(CurveTracer.Frames, 40);
  EXPECT_EQ(CurveTracer.Draws, 0);
  EXPECT_EQ(PresentCount(), 0);
  EXPECT_EQ(LanguageState.LanguageApplied, "");
}

TEST_F(MainLoopTest, MainWindowThatCannotOpenEndsTheProgramSilently) {
  platform::headless::FailNextWindowOpen();
  EXPECT_EQ(RunProgram([](int) { return true; }), 0);
  EXPECT_EQ(CurveTracer.Starts, 0);
  EXPECT_EQ(CurveTracer.Frames, 0);
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
}

}  // namespace
}  // namespace zolt::frame
