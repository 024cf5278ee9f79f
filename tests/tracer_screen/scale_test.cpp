// Axis scaling and axis labels: direction, decade band, mantissa step, prefix and the
// seven label texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tracer/graph.h"

namespace zolt::tracer {
namespace {

std::vector<std::string> XLabels() {
  return {XAxis.Labels[0], XAxis.Labels[1], XAxis.Labels[2], XAxis.Labels[3],
          XAxis.Labels[4], XAxis.Labels[5], XAxis.Labels[6]};
}

void ScaleX(double min, double max) {
  ChooseAxisScale(min, max, "X");
  BuildAxisLabels();
}

class AxisScale : public ::testing::Test {
 protected:
  void SetUp() override {
    XAxis = {};
    YAxis = {};
  }
};

TEST_F(AxisScale, ScalesTheWorkedExamples) {
  ScaleX(0.0, 12.3);
  EXPECT_EQ(XAxis.Sign, 1);
  EXPECT_EQ(XAxis.Decade, 10);
  EXPECT_EQ(XAxis.Mantissa, 1.25);
  EXPECT_EQ(XAxis.Factor, 1);
  EXPECT_EQ(FullScale(XAxis), 12.5);
  EXPECT_EQ(XAxis.Prefix, "");
  EXPECT_EQ(XLabels(), (std::vector<std::string>{"0", "0.5", "2.5", "5", "7.5", "10", "12.5"}));

  // The end larger in magnitude decides the direction: a current axis in milliamperes.
  ScaleX(-0.0042, 0.001);
  EXPECT_EQ(XAxis.Sign, -1);
  EXPECT_EQ(XAxis.Decade, 1e-3);
  EXPECT_EQ(XAxis.Mantissa, 5);
  EXPECT_EQ(XAxis.Factor, 1e-3);
  EXPECT_DOUBLE_EQ(FullScale(XAxis), -0.005);
  EXPECT_EQ(XAxis.Prefix, "m");
  EXPECT_EQ(XLabels(), (std::vector<std::string>{"0", "-0.2", "-1", "-2", "-3", "-4", "-5"}));
}

TEST_F(AxisScale, TiesRunPositiveAndALargerNegativeEndTurnsTheAxis) {
  ScaleX(-2, 2);
  EXPECT_EQ(XAxis.Sign, 1);
  EXPECT_EQ(FullScale(XAxis), 2);
  EXPECT_EQ(XLabels(), (std::vector<std::string>{"0", "0.08", "0.4", "0.8", "1.2", "1.6", "2"}));

  ScaleX(-3, 2);
  EXPECT_EQ(XAxis.Sign, -1);
  EXPECT_EQ(FullScale(XAxis), -3);
  EXPECT_EQ(XLabels(), (std::vector<std::string>{"0", "-0.12", "-0.6", "-1.2", "-1.8", "-2.4", "-3"}));
}

TEST_F(AxisScale, MantissaIsTheSmallestStepAtOrAboveTheRatio) {
  const struct {
    double Magnitude, Mantissa, Decade;
  } cases[] = {{10, 1, 10}, {7.6, 10, 1}, {7.5, 7.5, 1}, {2, 2, 1}, {2.01, 2.5, 1}, {5.01, 7.5, 1}, {0.3, 3, 0.1}};
  for (const auto& c : cases) {
    ChooseAxisScale(0, c.Magnitude, "X");
    EXPECT_EQ(XAxis.Mantissa, c.Mantissa) << c.Magnitude;
    EXPECT_EQ(XAxis.Decade, c.Decade) << c.Magnitude;
  }
}

TEST_F(AxisScale, BandsGiveTheirDecadeFactorAndPrefix) {
  const struct {
    double Magnitude, Decade, Factor;
    const char* Prefix;
  } cases[] = {
      {4e14, 1e14, 1e12, "T"}, {2e9, 1e9, 1e9, "G"},      {3e8, 1e8, 1e6, "M"},      {1000, 1e3, 1e3, "K"},
      {500, 100, 1, ""},      {0.5, 0.1, 1e-3, "m"},     {5e-4, 1e-4, 1e-6, "u"},   {3e-7, 1e-7, 1e-9, "n"},
      {4e-10, 1e-10, 1e-12, "p"}, {2e-13, 1e-13, 1e-15, "f"}, {1e-18, 1e-18, 1e-18, "a"},
  };
  for (const auto& c : cases) {
    ScaleX(0, c.Magnitude);
    EXPECT_EQ(XAxis.Decade, c.Decade) << c.Magnitude;
    EXPECT_EQ(XAxis.Factor, c.Factor) << c.Magnitude;
    EXPECT_EQ(XAxis.Prefix, c.Prefix) << c.Magnitude;
  }
  ScaleX(0, 0.5);  // shown as up to 500 mV
  EXPECT_EQ(XAxis.Labels[6], "500");
}

TEST_F(AxisScale, AllZeroAxisRunsToOne) {
  ScaleX(0, 0);
  EXPECT_EQ(XAxis.Sign, 1);
  EXPECT_EQ(XAxis.Decade, 1);
  EXPECT_EQ(XAxis.Factor, 1);
  EXPECT_EQ(XAxis.Mantissa, 1);
  EXPECT_EQ(FullScale(XAxis), 1);
  EXPECT_EQ(XAxis.Prefix, "");
  EXPECT_EQ(XAxis.Labels[6], "1");
}

TEST_F(AxisScale, MagnitudesOutsideTheTableGiveAZeroScaleAndKeepThePrefix) {
  ScaleX(0, 0.004);
  ASSERT_EQ(XAxis.Prefix, "m");
  for (double m : {1e15, 5e-19, 1e38}) {
    ScaleX(-m, 0);
    EXPECT_EQ(XAxis.Decade, 0) << m;
    EXPECT_EQ(XAxis.Factor, 0) << m;
    EXPECT_EQ(XAxis.Mantissa, 10) << m;
    EXPECT_EQ(FullScale(XAxis), 0) << m;
    EXPECT_EQ(XAxis.Prefix, "m") << m;
    EXPECT_EQ(XLabels(), (std::vector<std::string>(7, "0"))) << m;
  }
  // The extents of a graph without a valid point.
  ScaleX(1e38, -1e38);
  EXPECT_EQ(FullScale(XAxis), 0);
}

TEST_F(AxisScale, OnlyTheExactNameXChoosesTheXAxis) {
  ChooseAxisScale(0, 12.3, "x");
  EXPECT_EQ(YAxis.Mantissa, 1.25);
  EXPECT_EQ(XAxis.Mantissa, 1);
  EXPECT_EQ(XAxis.Decade, 1);
}

}  // namespace
}  // namespace zolt::tracer
