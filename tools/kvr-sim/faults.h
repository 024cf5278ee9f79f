// Curve-tracer simulator, faults and run-time control: damage done to outgoing frames
// on request, and the commands read from the control file while the simulator runs.
//
// Sections: the fault plan; damaging a frame; control commands.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "devices.h"
#include "wire.h"

namespace zolt::kvrsim {

// ---- the fault plan ----

struct FaultPlan {
  int corruptEvery = 0;  // every n-th frame goes out with a bad checksum (0: never)
  int dropEvery = 0;     // every n-th frame loses a byte
  int junkEvery = 0;     // every n-th frame is followed by a stray byte
  int corruptPending = 0;  // single faults still to do, on the next frames
  int dropPending = 0;
  int junkPending = 0;
  int64_t silenceFromMs = -1;  // no frames are sent from .. until (simulator clock)
  int64_t silenceUntilMs = -1;
  int64_t deafUntilMs = -1;    // nothing is read from the port until (simulator clock)
  uint64_t corrupted = 0;
  uint64_t dropped = 0;
  uint64_t junked = 0;
  uint64_t silenced = 0;
};

bool Silenced(const FaultPlan& plan, int64_t nowMs);
bool Deaf(const FaultPlan& plan, int64_t nowMs);

// ---- damaging a frame ----

// The bytes that go on the line for frame number `frameNumber` (counting from 1).
std::vector<uint8_t> DamageFrame(FaultPlan& plan, const std::array<uint8_t, FrameBytes>& frame,
                                 uint64_t frameNumber);

// ---- control commands ----

enum class ControlAction {
  Corrupt,   // corrupt [N]: every N-th frame bad (0 stops); without N the next frame
  Drop,      // drop [N]: the same, losing a byte
  Junk,      // junk [N]: the same, adding a stray byte
  Silence,   // silence MS: send nothing for MS milliseconds (packets are still taken)
  Deaf,      // deaf MS: read nothing for MS milliseconds (frames still go out)
  Hangup,    // hangup: close the port and end the simulator
  Replug,    // replug MS: close the port, and open a new one at the link after MS
  Stop,      // stop [CODE]: end the sweep under way with CODE (1..15, default 1)
  Device,    // device NAME: put another device in the socket
  Status,    // status: print the status line
  Quit,      // quit: end the simulator, removing the link
};

struct ControlCommand {
  ControlAction action = ControlAction::Status;
  int number = -1;  // -1 when not given
  DeviceKind device = DeviceKind::Npn;
};

// One command line; blank lines and lines starting with '#' give false with no error.
bool ParseControlCommand(const std::string& line, ControlCommand& command, std::string& error);
// The command summary for the help text, each line indented by `indent` blanks.
std::string ControlCommandHelp(int indent);

}  // namespace zolt::kvrsim
