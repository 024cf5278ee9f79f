#include "analyser_fixture.h"

#include <algorithm>
#include <filesystem>

#include "analyser/analysis.h"
#include "analyser/handler.h"
#include "analyser/ranges.h"
#include "analyser/screen.h"
#include "analyser/startup.h"
#include "analyser/synthesis.h"
#include "frame/app.h"
#include "frame/fonts.h"
#include "frame/settings.h"
#include "frame/translate.h"
#include "link/link_state.h"
#include "link/pmx_link.h"
#include "link/pmx_ring.h"
#include "platform/gui.h"
#include "platform/gui_headless.h"
#include "platform/system.h"
#include "screen/hot_zones.h"
#include "screen/surface.h"

namespace zolt::analyser::testing {

void AnalyserTest::SetUp() {
  std::filesystem::create_directories("graphics");
  std::filesystem::create_directory_symlink(ZOLT_ICON_DIR, "graphics/1x");
  platform::headless::Reset();
  frame::AppSettings = {};
  frame::FrameLoopState = {};
  frame::LastWindowEvent = {};
  frame::LoadProgramFonts();
  frame::LoadUiTexts();
  screen::ScreenState = {};
  screen::PointerState = {};
  screen::ClickedZone = 0;
  screen::HotZone.fill({});

  link::PmxRanges = {};
  link::PmxRangeConstants = {};
  link::PmxLinkState = {};
  link::LinkState.Connected = 0;
  link::PmxSampleRingRecord& ring = link::PmxSampleRing;
  ring.PmxWriteBlock = ring.PmxPublishedBlock = 0;
  ring.PmxProcessBlock = ring.PmxLastProcessedBlock = 0;
  ring.PmxVoltageGain = ring.PmxCurrentGain = 1.0;
  ring.PmxVoltageOffset = ring.PmxCurrentOffset = 0.0;
  for (double* table : {link::PmxVoltageSamples, link::PmxCurrentSamples, link::PmxFilteredSamples})
    std::fill(table, table + 2 * link::PmxRingSamples, 0.0);
  std::ranges::fill(link::PmxFrameTimes, link::PmxReceivedFrame);  // samples the tests write count as received
  std::ranges::fill(link::PmxBlockConversionKinds, link::PmxNoConversion);
  PmxReadings = {};
  PmxVoltageFilter = {};
  PmxFrequencyState = {};
  PmxGapState = {.Filled = 0};
  ScreenLayout = {};
  ReadoutTiles = {};
  PmxScreenState = {};
  PmxPaintedParts = {};
  SynthComponents = {};
  PmxSynthClock = 0;
  SendCount = 0;
  SendRangeControl = [] { ++SendCount; };

  platform::OpenWindow(frame::MainWindow, 0, 0, 1400, 800, "ZOLT", platform::WindowTitleBar);
  StartPowerAnalyser();
}

void AnalyserTest::TearDown() {
  platform::CloseNetworkServer(PmxNetworkServer);
  SendRangeControl = link::SendPowerAnalyserControl;
}

void FillVoltage(int first, int count, const std::function<double(int)>& volts) {
  for (int i = first; i < first + count; ++i) link::PmxVoltageSamples[i] = volts(i);
}

void ServeNextEvent() {
  frame::LastWindowEvent = platform::WaitWindowEvent(0);
  ServeWindowEvent();
}

platform::Colour Pixel(int x, int y) { return platform::ImagePixel(screen::CanvasImage, x, y); }

}  // namespace zolt::analyser::testing
