// The COM port page: saving a port by either method, the scan over pseudo-terminal ports,
// and a scan while the curve tracer is connected, which takes the link's port only for
// a probe that opens, with the reader stopped before its port goes.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/default_settings.h"
#include "frame/settings.h"
#include "link/control_block.h"
#include "link/link_state.h"
#include "link/status_reader.h"
#include "platform/system.h"
#include "screen/hot_zones.h"
#include "settingswindow/page_comms.h"
#include "settingswindow/pages.h"
#include "support/temp_folder.h"
#include "tracer/dispatch.h"
#include "tracer/run_state.h"
#include "tracer_run/fake_instrument.h"
#include "window_script.h"

namespace zolt::settingswindow {
namespace {

using namespace platform::headless;
using platform::GetGadgetText;
using testing::WaitUntil;
using Ports = std::vector<std::string>;

Ports Found() {
  Ports items;
  for (int k = 0; k < platform::CountGadgetItems(ComFoundList); ++k)
    items.push_back(platform::GetGadgetItemText(ComFoundList, k));
  return items;
}

class CommsPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    frame::AppSettings = {};
    tracer::RunControl = {};
    testing::MakeFolder("settings");
    testing::WriteFile(frame::SettingsPath, frame::NewSettingsFile);
    ComScan.StartPauseMs = ComScan.ProbePauseMs = ComScan.NextPauseMs = 0;
    LinkPortsNowhere();
  }
  // Every port name leads nowhere unless a test links a port there. A link left behind
  // would name a pseudo-terminal number that another program may take next.
  static void LinkPortsNowhere() {
    std::filesystem::create_directories("ports");
    for (int n = 1; n <= 99; ++n) {
      const std::string name = "ports/COM" + std::to_string(n);
      std::filesystem::remove(name);
      std::filesystem::create_symlink("/nonexistent/tty", name);
    }
  }
  void TearDown() override {
    link::StopLinkThread();
    link::CloseInstrumentComPort();
  }
  testing::TempFolder folder;
};

TEST_F(CommsPageTest, AScanListsThePortsThatOpenAndAPortIsSavedOnlyWhenAnEntryNamesOne) {
  testing::PtyLink com3(3), com5(5);
  testing::RunSettingsWindow(334, {
      [] { EXPECT_EQ(Found(), Ports{"nothing selected - scan first"}); ClickGadget(ComManualSaveButton); },
      [] { ChooseGadgetItem(ComFoundList, 0); },
      [] { ClickGadget(ComFoundSaveButton); },  // neither entry names a port
      [] { EXPECT_EQ(frame::AppSettings.ComPort, 1); ClickGadget(ComScanButton); },
      WaitUntil([] { return ComScan.ComScanPort == 4; }),
      [] { ClickGadget(ComFoundSaveButton); },  // stops the scan, saves the port found
      [] {
        EXPECT_EQ(ComScan.ComScanStep, 0);
        EXPECT_EQ(Found(), Ports{"COM 3"});
        EXPECT_EQ(frame::AppSettings.ComPort, 3);
        ClickGadget(ComScanButton);
      },
      WaitUntil([] { return ComScan.ComScanStep == 0; }),
      [] {
        EXPECT_EQ(Found(), (Ports{"COM 3", "COM 5"}));
        EXPECT_EQ(platform::GetGadgetState(ComFoundList), 0);
        EXPECT_EQ(GetGadgetText(ComScanStatusField), "...scanning now complete");
        ChooseGadgetItem(ComAllList, 11);
      },
      [] { ClickGadget(ComManualSaveButton); },
      [] {
        EXPECT_EQ(GetGadgetText(ComCurrentField), "COM 12");
        EXPECT_EQ(GetGadgetText(ComManualCurrentField), "COM 12");
        ClickGadget(ComScanButton);
      },
      WaitUntil([] { return ComScan.ComScanPort == 2; }),
  });
  EXPECT_EQ(frame::ReadKeyValue(frame::SettingsPath, "KVR_ComPort"), "12");
  EXPECT_NE(ComScan.ComScanStep, 0);  // cut short by the closing, reset at the next opening
  testing::RunSettingsWindow(334, {[] {
    EXPECT_EQ(ComScan.ComScanStep, 0);
    EXPECT_EQ(Found(), Ports{"nothing selected - scan first"});
  }});
}

TEST_F(CommsPageTest, AScanWhileConnectedTakesTheLinksPortOnlyForAProbeThatOpens) {
  struct Case {
    int linkPort, otherPort;  // 0: no other port
    Ports found;
    bool released;
  };
  for (const Case& c : {Case{2, 4, {"COM 4"}, true}, Case{4, 2, {"COM 2", "COM 4"}, true},
                        Case{2, 0, {}, false}}) {
    SCOPED_TRACE(c.linkPort);
    LinkPortsNowhere();
    testing::FakeInstrument instrument(c.linkPort);
    std::unique_ptr<testing::PtyLink> other;
    if (c.otherPort != 0) other = std::make_unique<testing::PtyLink>(c.otherPort);
    frame::AppSettings.ComPort = c.linkPort;
    {
      std::lock_guard lock(link::InstrumentMutex);
      ASSERT_EQ(link::StartSerialReaderThread(), 1);
      ASSERT_EQ(link::OpenInstrumentComPort(), 1);
      tracer::RunControl.RunPhase = 1;
    }
    int64_t lastFrame = 0;
    // Opened from the connect status panel's mark, as the user would.
    testing::RunSettingsWindow(334, {
        [] { ClickGadget(ComScanButton); },
        WaitUntil([&] {
          // The instrument answers, so the link stays up for as long as it is kept, however
          // slowly the passes go.
          const int64_t now = platform::ElapsedMilliseconds();
          if (now - lastFrame >= 100 && link::LinkState.Connected == 1) {
            instrument.SendFrame(0);
            lastFrame = now;
          }
          return ComScan.ComScanStep == 0;
        }),
        [&c] { EXPECT_EQ(Found(), c.found); }},
        [](int32_t zone) { screen::ClickedZone = zone; tracer::ControlDispatch(); });

    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    EXPECT_EQ(link::LinkState.Connected, c.released ? 0 : 1);
    EXPECT_EQ(link::LinkThreadRunning(), !c.released);
    EXPECT_EQ(platform::IsSerialPortOpen(link::InstrumentSerialPort), !c.released);
    EXPECT_EQ(tracer::RunControl.RunPhase, c.released ? 0 : 1);
    uint32_t commands = 0;  // the last command register sent: link off, everything stopped
    for (const testing::ReceivedPacket& p : instrument.TakeWrites())
      if (p.Address == link::CommandBits) commands = p.Value;
    const uint32_t off = (1u << link::HighVoltageStopBit) | (1u << link::StopSweepBit);
    EXPECT_EQ(commands & (off | (1u << link::CommsEnableBit)), c.released ? off : 0);
    link::StopLinkThread();
    link::CloseInstrumentComPort();
  }
}

}  // namespace
}  // namespace zolt::settingswindow
