// Curve-tracer simulator, faults and run-time control.
#include "faults.h"

#include <sstream>

namespace zolt::kvrsim {

// ---- the fault plan ----

bool Silenced(const FaultPlan& plan, int64_t nowMs) {
  return plan.silenceFromMs >= 0 && nowMs >= plan.silenceFromMs && nowMs < plan.silenceUntilMs;
}

bool Deaf(const FaultPlan& plan, int64_t nowMs) { return nowMs < plan.deafUntilMs; }

// ---- damaging a frame ----

namespace {

// A periodic fault falls on frames n, 2n, ...; a pending single fault on the next frame.
bool Due(int every, int& pending, uint64_t frameNumber) {
  if (pending > 0) {
    --pending;
    return true;
  }
  return every > 0 && frameNumber % static_cast<uint64_t>(every) == 0;
}

constexpr size_t DroppedByte = 10;  // inside the collector voltage sum
constexpr uint8_t StrayByte = 0x55;

}  // namespace

std::vector<uint8_t> DamageFrame(FaultPlan& plan, const std::array<uint8_t, FrameBytes>& frame,
                                 uint64_t frameNumber) {
  std::vector<uint8_t> bytes(frame.begin(), frame.end());
  if (Due(plan.corruptEvery, plan.corruptPending, frameNumber)) {
    bytes[FrameBytes - 1] ^= 0xA5;
    ++plan.corrupted;
  }
  if (Due(plan.dropEvery, plan.dropPending, frameNumber)) {
    bytes.erase(bytes.begin() + DroppedByte);
    ++plan.dropped;
  }
  if (Due(plan.junkEvery, plan.junkPending, frameNumber)) {
    bytes.push_back(StrayByte);
    ++plan.junked;
  }
  return bytes;
}

// ---- control commands ----

namespace {

struct CommandRow {
  const char* word;
  ControlAction action;
  const char* argument;  // "" none, "[N]" optional number, "N" number, "NAME" device
  const char* help;
};

constexpr CommandRow Commands[] = {
    {"corrupt", ControlAction::Corrupt, "[N]", "bad checksum on every N-th frame (0 stops; no N: next frame)"},
    {"drop", ControlAction::Drop, "[N]", "one byte lost from every N-th frame (no N: next frame)"},
    {"junk", ControlAction::Junk, "[N]", "a stray byte after every N-th frame (no N: next frame)"},
    {"silence", ControlAction::Silence, "N", "send no frames for N ms, still taking every packet"},
    {"deaf", ControlAction::Deaf, "N", "read nothing for N ms, still sending frames (0 ends it)"},
    {"hangup", ControlAction::Hangup, "", "close the port and end"},
    {"replug", ControlAction::Replug, "N", "close the port, open a new one at the link after N ms"},
    {"stop", ControlAction::Stop, "[N]", "end the sweep under way with stop code N (default 1)"},
    {"device", ControlAction::Device, "NAME", "put another device in the socket"},
    {"status", ControlAction::Status, "", "print the status line"},
    {"quit", ControlAction::Quit, "", "end, removing the link"},
};

}  // namespace

bool ParseControlCommand(const std::string& line, ControlCommand& command, std::string& error) {
  error.clear();
  std::istringstream in(line);
  std::string word, argument, extra;
  in >> word >> argument >> extra;
  if (word.empty() || word[0] == '#') return false;
  for (const CommandRow& row : Commands) {
    if (word != row.word) continue;
    std::string kind = row.argument;
    if (!extra.empty() || (kind.empty() && !argument.empty())) {
      error = "too many words in \"" + line + "\"";
      return false;
    }
    command = ControlCommand{.action = row.action};
    if (kind == "NAME") {
      if (!DeviceFromName(argument, command.device)) {
        error = "unknown device \"" + argument + "\"";
        return false;
      }
    } else if (!kind.empty()) {
      if (argument.empty() && kind == "N") {
        error = word + " needs a number";
        return false;
      }
      if (!argument.empty()) {
        size_t used = 0;
        int value = -1;
        try {
          value = std::stoi(argument, &used);
        } catch (...) {
          used = 0;
        }
        if (used != argument.size() || value < 0) {
          error = "\"" + argument + "\" is not a number of 0 or more";
          return false;
        }
        command.number = value;
      }
    }
    return true;
  }
  error = "unknown command \"" + word + "\"";
  return false;
}

std::string ControlCommandHelp(int indent) {
  std::string text;
  for (const CommandRow& row : Commands) {
    std::string head = std::string(row.word) + (*row.argument ? " " : "") + row.argument;
    text += std::string(static_cast<size_t>(indent), ' ') + head + std::string(head.size() < 14 ? 14 - head.size() : 1, ' ') + row.help + "\n";
  }
  return text;
}

}  // namespace zolt::kvrsim
