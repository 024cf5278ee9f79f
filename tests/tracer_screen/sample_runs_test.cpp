// The sample runs installed with the program: each loads with its test configuration and
// title, holds the curves of its device, and is drawn with every curve inside the plot.
#include <filesystem>
#include <string>

#include "screen/plot_area.h"
#include "screen_fixture.h"
#include "support/temp_folder.h"
#include "tracer/graph.h"
#include "tracer/run_file.h"
#include "tracer/run_info.h"
#include "tracer/test_config.h"

namespace zolt::tracer::testing {
namespace {

struct ShippedRun {
  int number;
  int configuration;
  int curves;
  bool stepped;   // the curves rise with the step (a transistor's family)
  int firstLive;  // the first curve that carries current (an NPN's step 0 has no base current)
};

class SampleRuns : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    namespace fs = std::filesystem;
    const fs::path app = ZOLT_APP_DIR;
    fs::create_directories(SampleRunFolder);
    fs::create_directories("settings");
    for (const auto& entry : fs::directory_iterator(app / SampleRunFolder)) {
      fs::copy_file(entry.path(), fs::path(SampleRunFolder) / entry.path().filename());
    }
    fs::copy_file(app / TestConfigurationFile, TestConfigurationFile);
    LoadTestConfigurations();
  }
  zolt::testing::TempFolder folder_;
};

TEST_F(SampleRuns, LoadWithTheirConfigurationAndShowEveryCurve) {
  for (const ShippedRun& run : {ShippedRun{1, 500, 2, false, 0}, ShippedRun{2, 300, 7, true, 0},
                                ShippedRun{3, 100, 7, true, 1}}) {
    SCOPED_TRACE("run " + std::to_string(run.number));
    SampleRunNumber = run.number;
    LoadSampleRun();
    ASSERT_EQ(SampleRunNumber, run.number);
    EXPECT_EQ(RunInfo.GraphType, run.configuration);
    EXPECT_EQ(TestConfiguration, run.configuration);
    EXPECT_FALSE(GraphTitleText.empty());
    EXPECT_EQ(LastSampleCurve, run.curves - 1);
    for (int c = 0; c < run.curves; ++c) {
      const int last = DisplayedSweeps.TotalEntries[c];
      EXPECT_GT(last, 100) << c;
      // The collector supply ramps up: voltage and current end well above where they start.
      EXPECT_GT(DisplayedSweeps.Point[c][last].VC_V, DisplayedSweeps.Point[c][0].VC_V + 0.5) << c;
      if (c >= run.firstLive) {
        EXPECT_GT(DisplayedSweeps.Point[c][last].IC_A, 0.001) << c;
      }
      if (run.stepped && c > 0) {
        EXPECT_GT(DisplayedSweeps.Point[c][100].IC_A, DisplayedSweeps.Point[c - 1][100].IC_A) << c;
      }
    }

    DrawScreen();
    SaveCanvas("sample_run_" + std::to_string(run.number));
    const screen::PixelRect& plot = screen::PlotRect;
    for (int c = run.firstLive; c < run.curves; ++c) {
      const platform::Colour colour = CurveStyles[c].Colour & 0xFFFFFF;
      EXPECT_TRUE(AnyPixel(plot.X + 1, plot.Y + 1, plot.X + plot.Width - 1, plot.Y + plot.Height - 1, colour))
          << "curve " << c;
    }
  }
}

}  // namespace
}  // namespace zolt::tracer::testing
