// Test support: the simulator process.
#include "support/simulator_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "support/wait_for.h"

extern char** environ;

namespace zolt::testing {

bool SimulatorProcess::Start(std::vector<std::string> args, const std::string& errorLog) {
  args.insert(args.begin(), KVR_SIM_PATH);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  if (!errorLog.empty()) {
    ::posix_spawn_file_actions_addopen(&actions, 2, errorLog.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  pid_t pid = -1;
  const bool started =
      ::posix_spawn(&pid, KVR_SIM_PATH, &actions, nullptr, argv.data(), environ) == 0;
  ::posix_spawn_file_actions_destroy(&actions);
  pid_ = started ? pid : -1;
  return started;
}

bool SimulatorProcess::WaitForLink(const std::string& path, int timeoutMs) const {
  return WaitFor(
      [&path] {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0;
      },
      timeoutMs);
}

int SimulatorProcess::Wait() {
  int status = NotWaited;
  if (pid_ > 0 && ::waitpid(pid_, &status, 0) != pid_) status = NotWaited;
  pid_ = -1;
  return status;
}

int SimulatorProcess::Stop() {
  if (pid_ <= 0) return NotWaited;
  ::kill(pid_, SIGTERM);
  return Wait();
}

}  // namespace zolt::testing
