// The front end and the link together, turn by turn as the main loop runs them, against
// the simulated instrument (pmx-sim loaded as the D2XX library): the connect zone
// connects, the calibration is copied out of the device and fitted, the tiles read the
// simulated sine, a stepper changes the range on the instrument, the calibration form
// works on the live link, and the connect zone disconnects.
#include <stdlib.h>

#include <array>
#include <cmath>
#include <tuple>

#include "analyser/analysis.h"
#include "analyser/handler.h"
#include "analyser/ranges.h"
#include "analyser/screen.h"
#include "analyser/startup.h"
#include "analyser/window.h"
#include "analyser/zones.h"
#include "analyser_fixture.h"
#include "frame/app.h"
#include "frame/numbers.h"
#include "link/pmx_ring.h"
#include "platform/gui_headless.h"
#include "pmx_link/sim_fixture.h"
#include "screen/hot_zones.h"
#include "support/wait_for.h"

namespace zolt::analyser::testing {
namespace {

class InstrumentTest : public AnalyserTest {
 protected:
  void SetUp() override {
    AnalyserTest::SetUp();
    SendRangeControl = link::SendPowerAnalyserControl;
    ::unsetenv("PMX_SIM_OPTIONS");
    ASSERT_TRUE(platform::OpenLibrary(link::UsbLibraryNumber, PMX_SIM_LIBRARY));
    link::SimCall<void (*)()>("PmxSimPowerUp")();  // no calibration saved by another test
  }
  void TearDown() override {
    link::StopLinkThread();
    link::CloseUsbDevice();
    AnalyserTest::TearDown();
  }
};

// One main-loop turn: the next window event is the turn's; with a zone, the left button
// goes down on its centre.
void Turn(int32_t zone = 0) {
  frame::LastWindowEvent = platform::WaitWindowEvent(0);
  if (zone != 0) {
    const screen::HotZoneRect& z = screen::HotZone[zone];
    platform::headless::SetMousePosition((z.Left + z.Right) / 2, (z.Top + z.Bottom) / 2);
    screen::PointerState.LeftMouseDown = 1;
  }
  HandlePowerAnalyserFrame();
  screen::PointerState.LeftMouseDown = 0;
  platform::Delay(1);
}

// The turns of a connection after the click's: step 5 takes one or more.
void ConnectTurns() {
  zolt::testing::WaitFor([] { return Turn(), link::PmxLinkState.PmxLinkStep == 11; }, 5000);
  Turn();
}

// Turns until `blocks` more blocks have been analysed.
bool AnalyseBlocks(int blocks) {
  const int32_t& analysed = link::PmxSampleRing.PmxLastProcessedBlock;
  int32_t last = analysed;
  return zolt::testing::WaitFor(
      [&] {
        Turn();
        if (analysed != last) --blocks, last = analysed;
        return blocks <= 0;
      },
      20000);
}

TEST_F(InstrumentTest, ConnectReadTheSineChangeARangeAndDisconnectThroughTheZones) {
  link::PmxSampleRingRecord& ring = link::PmxSampleRing;
  ring.PmxWriteBlock = 98;  // the stream's blocks run over the ring's end
  ring.PmxPublishedBlock = 97;
  ring.PmxProcessBlock = ring.PmxLastProcessedBlock = 96;
  DrawPowerAnalyserScreen();  // registers the zones
  // A broken signal before: a poisoned filter, and its last block next in line for the
  // analysis. The stream starts afresh without either.
  PmxVoltageFilter = {NAN, NAN, NAN, NAN};
  FillVoltage(97 * link::PmxBlockSamples, link::PmxBlockSamples, [](int) { return INFINITY; });
  Turn();
  Turn(ZoneConnect);
  ConnectTurns();
  EXPECT_EQ(link::PmxLinkState.PmxStatusText, "Connected");
  EXPECT_EQ(link::PmxLinkState.PmxRunning, 1);
  EXPECT_EQ(zolt::testing::ReadFile("PMX_cal.txt"), link::SimCall<const char* (*)()>("PmxSimCalibrationFile")());

  // Two seconds of 50 Hz make the first full frequency measurement; the peaks are those
  // of 325 V and 5 A converted with the constants fitted at this connection.
  ASSERT_TRUE(AnalyseBlocks(30));
  for (const auto& [tile, value, within] : {std::tuple{8, 50.0, 0.01}, {13, 325.0, 0.05}, {14, -325.0, 0.05},
                                             {15, 5.0, 0.002}, {16, -5.0, 0.002}})
    EXPECT_NEAR(frame::ParseReal(ReadoutTiles[tile].Value), value, within) << tile;
  EXPECT_EQ(link::SimRegister(1), 1u << 16);
  EXPECT_GT(link::SimCall<unsigned long (*)()>("PmxSimPolls")(), 0u);

  // 10 A down to 5 A: register 2 names it (the comms thread sends it), and 5 A still
  // reads 5 A on the new range.
  Turn(ZoneC1Stepper + screen::ZoneStepperDecrease);
  EXPECT_TRUE(zolt::testing::WaitFor([] { return link::SimRegister(2) == 192u + 1; }, 1000));
  ASSERT_TRUE(AnalyseBlocks(4));
  EXPECT_NEAR(frame::ParseReal(ReadoutTiles[15].Value), 5.0, 0.002);
  // The voltage range down and up, time and again: every frequency shown is within 0.01 %
  // (none once overdue).
  for (int step = 0; step < 12; ++step) {
    Turn(ZoneV1Stepper + (step % 2 == 0 ? screen::ZoneStepperDecrease : screen::ZoneStepperIncrease));
    for (int block = 0; block < 3 && AnalyseBlocks(1); ++block) {
      const std::string& f = ReadoutTiles[8].Value;
      EXPECT_TRUE(f == "----" || std::fabs(frame::ParseReal(f) - 50.0) <= 0.005) << f;
    }
  }

  // The calibration form while streaming: "Select Range" sends register 2, and "Save
  // 'PMX_cal.txt' to device" writes the device's EEPROM.
  Turn(ZoneCalibration);
  platform::headless::ClickGadget(CalPairBase(4));
  Turn();
  EXPECT_TRUE(zolt::testing::WaitFor([] { return link::SimRegister(2) == 192u + 4 * 8 + 1; }, 1000));  // 20 V, 5 A
  zolt::testing::WriteFile("PMX_cal.txt", "edited\r\n20V=20V,400000\r\n");
  platform::headless::ClickGadget(SaveCalToDeviceButton);
  EXPECT_TRUE(zolt::testing::WaitFor([] { return Turn(), !zolt::testing::Exists(link::UnfinishedSaveMarker); }, 2000));
  EXPECT_EQ(link::SimEepromFile(), "edited\r\n20V=20V,400000\r\n");
  frame::FrameLoopState.CloseRequest = 1;
  Turn();
  Turn();  // the button seen up by the screen again

  Turn(ZoneConnect);
  Turn();
  EXPECT_EQ(link::PmxLinkState.PmxStatusText + " " + link::PmxLinkState.PmxStepText,
            "Disconnecting 100: Stop the connection");
  EXPECT_EQ(link::LinkState.Connected.load(), 0);
  EXPECT_FALSE(link::LinkState.LinkThread.joinable());
  Turn();
  EXPECT_EQ(link::PmxLinkState.PmxStepText, "101: Stopping the connection");
  link::PmxLinkState.PmxStepTime -= 2001;  // the 2 s of "Stopping the connection"
  Turn();
  Turn();
  EXPECT_EQ(link::PmxLinkState.PmxLinkStep, 0);
  EXPECT_EQ(link::PmxLinkState.PmxStatusText, "Connect");
  EXPECT_TRUE(platform::headless::MessagesShown().empty());
}

// However the link ends, lost (the stream falls silent) or disconnected, nothing it
// showed stays up: the live tiles show no reading, the others their start texts, the
// waveform pane no trace, and no block left over from the link comes back.
TEST_F(InstrumentTest, NoReadingOutlivesItsLink) {
  const std::array<ReadoutTile, 129> start = ReadoutTiles;
  link::PmxSampleRing.PmxProcessBlock = link::PmxSampleRing.PmxLastProcessedBlock = 99;  // no backlog
  DrawPowerAnalyserScreen();
  for (const char* options : {"silent-after=1000", ""}) {
    ::setenv("PMX_SIM_OPTIONS", options, 1);
    Turn();
    Turn(ZoneConnect);
    ConnectTurns();
    ASSERT_TRUE(AnalyseBlocks(2)) << options;
    ASSERT_NE(ReadoutTiles[13].Value, start[13].Value);
    if (*options != '\0') {
      ASSERT_TRUE(zolt::testing::WaitFor([] { return Turn(), link::PmxLinkState.PmxLinkStep == 0; }, 5000));
    } else {
      Turn(ZoneConnect);
      Turn();
    }
    for (int turn = 0; turn < 5; ++turn) Turn();
    for (int t = 1; t <= ReadoutTileCount; ++t)
      EXPECT_EQ(ReadoutTiles[t].Value, "----") << options << t;
    EXPECT_EQ(frame::FrameLoopState.RedrawAll, 1);
    DrawPowerAnalyserScreen();
    frame::FrameLoopState.RedrawAll = 0;
    const PixelRect& pane = screen::PlotRect;
    int traced = 0;
    for (int x = pane.X + 1; x < pane.X + pane.Width; ++x)
      for (int y = pane.Y + 1; y < pane.Y + pane.Height; ++y) traced += Pixel(x, y) == platform::MakeColour(255, 0, 0);
    EXPECT_EQ(traced, 0) << options;
    link::PmxLinkState.PmxStepTime -= 2001;  // past "Stopping the connection"
    Turn();
  }
  ::unsetenv("PMX_SIM_OPTIONS");
}

// A 60 Hz stream with every 7th frame bad reads as the clean stream: each block still
// spans 320 frame-times, the bad frames' places filled from their neighbours.
TEST_F(InstrumentTest, ABadFrameInSevenReadsAsTheCleanStream) {
  link::PmxSampleRingRecord& ring = link::PmxSampleRing;
  ring.PmxPublishedBlock = 99;  // the analysis waits for the stream's first block
  ring.PmxProcessBlock = ring.PmxLastProcessedBlock = 98;
  DrawPowerAnalyserScreen();
  Turn();
  double clean[5] = {};
  for (const char* options : {"frequency=60", "frequency=60 bad-every=7"}) {
    ::setenv("PMX_SIM_OPTIONS", options, 1);
    Turn(ZoneConnect);
    ConnectTurns();
    ASSERT_EQ(link::PmxLinkState.PmxStatusText, "Connected") << options;
    ASSERT_TRUE(AnalyseBlocks(30));
    const int tiles[5] = {8, 13, 14, 15, 16};
    const bool first = clean[0] == 0.0;
    for (int i = 0; i < 5; ++i) {
      const double value = frame::ParseReal(ReadoutTiles[tiles[i]].Value);
      if (first) {
        clean[i] = value;
      } else {  // frequency within 0.01 %, peaks within 0.5 %
        EXPECT_NEAR(value, clean[i], std::fabs(clean[i]) * (i == 0 ? 1e-4 : 5e-3)) << tiles[i];
      }
    }
    Turn(ZoneConnect);
    Turn();
    link::PmxLinkState.PmxStepTime -= 2001;
    Turn();
    Turn();
    ASSERT_EQ(link::PmxLinkState.PmxLinkStep, 0);
  }
  EXPECT_NEAR(clean[0], 60.0, 0.006);
}

}  // namespace
}  // namespace zolt::analyser::testing
