// Tests of the curve-tracer simulator's fault injection, control commands and options.
#include "faults.h"

#include <gtest/gtest.h>

#include <vector>

#include "options.h"

namespace zolt::kvrsim {
namespace {

std::array<uint8_t, FrameBytes> SomeFrame() {
  return EncodeStatusFrame({.statusWord = 0x0026, .calibrationWord = 0x3031, .collectorVoltageSum = 12345});
}

TEST(KvrSimFaults, DamageTheChosenFramesOnly) {
  FaultPlan plan;
  plan.corruptEvery = 3;
  plan.dropEvery = 4;
  plan.junkEvery = 5;
  StatusFrame decoded;
  for (uint64_t n = 1; n <= 20; ++n) {
    std::vector<uint8_t> bytes = DamageFrame(plan, SomeFrame(), n);
    size_t expectedSize = FrameBytes - (n % 4 == 0) + (n % 5 == 0);
    ASSERT_EQ(bytes.size(), expectedSize) << n;
    if (n % 3 != 0 && n % 4 != 0) {
      EXPECT_TRUE(DecodeStatusFrame(bytes.data(), decoded)) << n;
    } else {
      EXPECT_FALSE(DecodeStatusFrame(bytes.data(), decoded)) << n;
    }
  }
  EXPECT_EQ(plan.corrupted, 6u);
  EXPECT_EQ(plan.dropped, 5u);
  EXPECT_EQ(plan.junked, 4u);
}

TEST(KvrSimFaults, SingleFaultsHitTheNextFrame) {
  FaultPlan plan;
  plan.corruptPending = 1;
  StatusFrame decoded;
  EXPECT_FALSE(DecodeStatusFrame(DamageFrame(plan, SomeFrame(), 7).data(), decoded));
  EXPECT_TRUE(DecodeStatusFrame(DamageFrame(plan, SomeFrame(), 8).data(), decoded));
}

TEST(KvrSimControl, ParsesCommandsAndRejectsMistakes) {
  ControlCommand c;
  std::string error;
  ASSERT_TRUE(ParseControlCommand("corrupt 10", c, error));
  EXPECT_EQ(c.action, ControlAction::Corrupt);
  EXPECT_EQ(c.number, 10);
  ASSERT_TRUE(ParseControlCommand("  drop", c, error));
  EXPECT_EQ(c.action, ControlAction::Drop);
  EXPECT_EQ(c.number, -1);
  ASSERT_TRUE(ParseControlCommand("device pmos", c, error));
  EXPECT_EQ(c.device, DeviceKind::PMosfet);
  ASSERT_TRUE(ParseControlCommand("stop 14", c, error));
  EXPECT_EQ(c.number, 14);
  ASSERT_TRUE(ParseControlCommand("deaf 0", c, error));
  EXPECT_EQ(c.action, ControlAction::Deaf);

  EXPECT_FALSE(ParseControlCommand("", c, error));
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(ParseControlCommand("# a note", c, error));
  EXPECT_TRUE(error.empty());
  for (const char* bad : {"silence", "deaf", "silence -5", "silence 5x", "hangup now", "device triode",
                          "explode", "corrupt 1 2"}) {
    EXPECT_FALSE(ParseControlCommand(bad, c, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

bool Parse(std::vector<const char*> args, Options& options, std::string& error) {
  args.insert(args.begin(), "kvr-sim");
  return ParseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(KvrSimOptions, ReadValuesAndRefuseNonsense) {
  Options o;
  std::string error;
  ASSERT_TRUE(Parse({"--link", "ports/COM1", "--device=pnp", "--frame-ms", "2.5", "--silence-after",
                     "100", "--corrupt-every", "7", "-v"},
                    o, error))
      << error;
  EXPECT_EQ(o.linkPath, "ports/COM1");
  EXPECT_EQ(o.instrument.device, DeviceKind::Pnp);
  EXPECT_EQ(o.frameMs, 2.5);
  EXPECT_EQ(o.faults.silenceFromMs, 100);
  EXPECT_EQ(o.faults.silenceUntilMs, 3100);
  EXPECT_EQ(o.faults.corruptEvery, 7);
  EXPECT_TRUE(o.verbose);

  for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
           {}, {"--link"}, {"--link", "x", "--ramp-frames", "0"}, {"--link", "x", "--frame-ms", "-1"},
           {"--link", "x", "--device", "triac"}, {"--link", "x", "--colour", "red"}}) {
    Options fresh;
    EXPECT_FALSE(Parse(bad, fresh, error));
    EXPECT_FALSE(error.empty());
  }
  Options writeOnly;
  EXPECT_TRUE(Parse({"--write-cal", "cal.txt"}, writeOnly, error));
}

}  // namespace
}  // namespace zolt::kvrsim
