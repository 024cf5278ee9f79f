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
#include "screen/hot_zones.h"
#include "settingswindow/page_comms.h"
#include "settingswindow/pages.h"
#include "support/pty_link.h"
#include "support/temp_folder.h"
#include "tracer/dispatch.h"
#include "tracer/run_state.h"
#include "tracer_run/fake_instrument.h"
#include "window_script.h"

namespace zolt::settingswindow {
namespace {

using namespace platform::headless;
using platform::GetGadgetText;
using testing::Step;
using testing::WaitUntil;

std::vector<std::string> Found() {
  std::vector<std::string> items;
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
    // Every port name leads nowhere unless a test links a port there.
    std::filesystem::create_directories("ports");
    for (int n = 1; n <= 99; ++n)
      std::filesystem::create_symlink("/nonexistent/tty", "ports/COM" + std::to_string(n));
  }
  void TearDown() override {
    link::StopLinkThread();
    link::CloseInstrumentComPort();
  }
  testing::TempFolder folder;
};

TEST_F(CommsPageTest, APortIsSavedOnlyWhenTheChosenEntryNamesOne) {
  struct Case {
    Step act;
    int32_t port;
  };
  const std::vector<Case> cases = {
      {[] { ClickGadget(ComManualSaveButton); }, 1},  // nothing chosen
      {[] { ChooseGadgetItem(ComFoundList, 0); }, 1},
      {[] { ClickGadget(ComFoundSaveButton); }, 1},   // "nothing selected - scan first"
      {[] { ChooseGadgetItem(ComAllList, 11); }, 1},
      {[] { ClickGadget(ComManualSaveButton); }, 12},
  };
  std::vector<Step> steps = {[] {
    EXPECT_EQ(GetGadgetText(ComCurrentField), "COM 1");
    EXPECT_EQ(Found(), std::vector<std::string>{"nothing selected - scan first"});
    EXPECT_EQ(platform::GetGadgetState(ComFoundList), -1);
    EXPECT_EQ(platform::CountGadgetItems(ComAllList), 99);
    EXPECT_EQ(platform::GetGadgetItemText(ComAllList, 98), "COM 99");
  }};
  for (const Case& c : cases) {
    steps.push_back(c.act);
    steps.push_back([&c] { EXPECT_EQ(frame::AppSettings.ComPort, c.port); });
  }
  testing::RunSettingsWindow(334, steps);
  EXPECT_EQ(frame::ReadKeyValue(frame::SettingsPath, "KVR_ComPort"), "12");
  EXPECT_EQ(GetGadgetText(ComManualCurrentField), "");  // the window is gone
}

TEST_F(CommsPageTest, AScanListsThePortsThatOpenAndUpdateStopsIt) {
  testing::PtyLink com3(3), com5(5);
  testing::RunSettingsWindow(334, {
      [] { ClickGadget(ComScanButton); },
      WaitUntil([] { return ComScan.ComScanPort == 4; }),
      [] { ClickGadget(ComFoundSaveButton); },
      [] {
        EXPECT_EQ(ComScan.ComScanStep, 0);
        EXPECT_EQ(Found(), std::vector<std::string>{"COM 3"});
        EXPECT_EQ(frame::AppSettings.ComPort, 3);
        ClickGadget(ComScanButton);
      },
      WaitUntil([] { return ComScan.ComScanStep == 0; }),
      [] {
        EXPECT_EQ(Found(), (std::vector<std::string>{"COM 3", "COM 5"}));
        EXPECT_EQ(platform::GetGadgetState(ComFoundList), 0);
        EXPECT_EQ(GetGadgetText(ComScanStatusField), "...scanning now complete");
        EXPECT_EQ(GetGadgetText(ComScanPortField), "");
        ClickGadget(ComScanButton);
      },
      WaitUntil([] { return ComScan.ComScanPort == 2; }),
  });
  EXPECT_NE(ComScan.ComScanStep, 0);  // cut short by the closing
  testing::RunSettingsWindow(334, {[] {
    EXPECT_EQ(ComScan.ComScanStep, 0);
    EXPECT_EQ(Found(), std::vector<std::string>{"nothing selected - scan first"});
  }});
  EXPECT_FALSE(platform::IsSerialPortOpen(link::InstrumentSerialPort));
}

TEST_F(CommsPageTest, AScanWhileConnectedTakesTheLinksPortOnlyForAProbeThatOpens) {
  struct Case {
    int linkPort, otherPort;  // 0: no other port
    std::vector<std::string> found;
    bool released;
  };
  const Case cases[] = {{2, 4, {"COM 4"}, true}, {4, 2, {"COM 2", "COM 4"}, true}, {2, 0, {}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.linkPort);
    testing::FakeInstrument instrument(c.linkPort);
    std::unique_ptr<testing::PtyLink> other;
    if (c.otherPort != 0) other = std::make_unique<testing::PtyLink>(c.otherPort);
    frame::AppSettings.ComPort = c.linkPort;
    ASSERT_EQ(link::StartSerialReaderThread(), 1);
    ASSERT_EQ(link::OpenInstrumentComPort(), 1);
    tracer::RunControl.RunPhase = 1;
    instrument.TakeWrites();

    int passes = 0;
    // Opened from the connect status panel's mark, as the user would.
    testing::RunSettingsWindow(334, {
        [] { ClickGadget(ComScanButton); },
        WaitUntil([&] {
          // The instrument answers, so the link stays up for as long as it is kept.
          if (++passes % 20 == 0 && link::LinkState.Connected == 1) instrument.SendFrame(0);
          return ComScan.ComScanStep == 0;
        }),
        [&c] { EXPECT_EQ(Found(), c.found); }},
        [](int32_t zone) { screen::ClickedZone = zone; tracer::ControlDispatch(); });

    std::lock_guard<std::mutex> lock(link::InstrumentMutex);
    EXPECT_EQ(link::LinkState.Connected, c.released ? 0 : 1);
    EXPECT_EQ(link::LinkThreadRunning(), !c.released);
    EXPECT_EQ(platform::IsSerialPortOpen(link::InstrumentSerialPort), !c.released);
    EXPECT_EQ(tracer::RunControl.RunPhase, c.released ? 0 : 1);
    if (c.released) {
      // The instrument was told: link off, high voltage and sweep stopped.
      const std::vector<testing::ReceivedPacket> writes = instrument.TakeWrites();
      uint32_t commands = 0;
      for (const testing::ReceivedPacket& p : writes)
        if (p.Address == link::CommandBits) commands = p.Value;
      EXPECT_EQ((commands >> link::CommsEnableBit) & 1u, 0u);
      EXPECT_EQ((commands >> link::HighVoltageStopBit) & 1u, 1u);
      EXPECT_EQ((commands >> link::StopSweepBit) & 1u, 1u);
    }
    link::StopLinkThread();
    link::CloseInstrumentComPort();
  }
}

}  // namespace
}  // namespace zolt::settingswindow
