// Files replaced in one step: a write beyond the file-size limit fails without ending the
// program and leaves nothing behind.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/system.h"
#include "support/temp_folder.h"

namespace zolt::platform {
namespace {

void NoFault(const FaultInfo&) { EndProcessAfterFault(); }

TEST(ReplacingWrites, BeyondTheFileSizeLimitFailWithoutEndingTheProgram) {
  testing::TempFolder folder;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstallFaultHandler(NoFault);
    const rlimit limit{4096, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = WriteFileReplacing("0009.csv", std::string(10000, 'x'));
    ::_exit(written ? 1 : ListFolder(".").empty() ? 0 : 2);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);  // 1: written after all, 2: a file left behind
}

}  // namespace
}  // namespace zolt::platform
