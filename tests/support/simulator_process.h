// Test support: the curve-tracer simulator (kvr-sim) as a child process.
//
// A test starts it with the arguments it needs, waits for the link it puts in place (such
// as ports/COM1), and ends it with SIGTERM, upon which the simulator takes its link away.
// A simulator still running when its SimulatorProcess goes is ended the same way.
#pragma once

#include <string>
#include <vector>

namespace zolt::testing {

class SimulatorProcess {
 public:
  // What Wait and Stop return when there was no process to wait for; never a wait status.
  static constexpr int NotWaited = -1;

  SimulatorProcess() = default;
  ~SimulatorProcess() { Stop(); }
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  // Starts the simulator with `args`; its standard error goes to the file `errorLog`
  // (created or emptied) when one is named. Returns whether it started.
  bool Start(std::vector<std::string> args, const std::string& errorLog = {});
  // Waits until the link `path` is there (the link itself, whatever it points at).
  bool WaitForLink(const std::string& path, int timeoutMs = 5000) const;
  // Waits for the process to end; its wait status.
  int Wait();
  // Sends SIGTERM and waits for the process to end; its wait status.
  int Stop();

 private:
  int pid_ = -1;
};

}  // namespace zolt::testing
