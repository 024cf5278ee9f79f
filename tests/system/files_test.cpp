// Files replaced in one step: a write beyond the file-size limit fails without ending the
// program and leaves nothing behind; one cut short leaves no run behind.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "frame/csv.h"
#include "platform/system.h"
#include "support/temp_folder.h"

namespace zolt::platform {
namespace {

void NoFault(const FaultInfo&) { EndProcessAfterFault(); }

// With the fault handler the write fails and leaves nothing; a program ended in the
// middle of a write (here by the signal the handler ignores) leaves a temporary file that
// the run-number scan does not count and a later start removes once no running program
// can be writing it.
TEST(ReplacingWrites, BeyondTheFileSizeLimitFailWithoutEndingTheProgram) {
  for (const bool handled : {true, false}) {
    SCOPED_TRACE(handled);
    testing::TempFolder folder;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (handled) InstallFaultHandler(NoFault);
      const rlimit limit{4096, RLIM_INFINITY};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      const bool written = WriteFileReplacing("0009.csv", std::string(10000, 'x'));
      ::_exit(written ? 1 : ListFolder(".").empty() ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (handled) {
      ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
      EXPECT_EQ(WEXITSTATUS(status), 0);  // 1: written after all, 2: a file left behind
    } else {
      ASSERT_TRUE(WIFSIGNALED(status));
      ASSERT_EQ(ListFolder(".").size(), 1u);
      EXPECT_EQ(frame::FindHighestCsvNumber("."), 1);
      RemoveLeftoverTemporaries(".");  // another program may still be writing it
      ASSERT_EQ(ListFolder(".").size(), 1u);
      std::filesystem::last_write_time(ListFolder(".")[0].Name,
                                       std::filesystem::file_time_type::clock::now() - std::chrono::minutes(61));
      RemoveLeftoverTemporaries(".");
      EXPECT_TRUE(ListFolder(".").empty());
    }
  }
}

// A name another program takes between the look at the folder and the naming is never
// replaced, whichever way the file system lets a file be named: the file takes the next.
TEST(NewFiles, NeverReplaceANameTakenMeanwhile) {
  for (const unsigned faults : {0u, +FaultNoRenameNoReplace, FaultNoRenameNoReplace | FaultNoHardLink}) {
    SCOPED_TRACE(faults);
    testing::TempFolder folder;
    SetFileFaults(".", faults);
    const auto names = [](int k) {
      if (k == 0) testing::WriteFile("0002.csv", "other");
      return k < 2 ? frame::MakeCsvFileName(k + 2) : std::string();
    };
    std::string name;
    EXPECT_EQ(WriteNewFile("", "run", names, name), NewFileResult::Written);
    SetFileFaults("", 0);
    EXPECT_EQ(name, "0003.csv");
    EXPECT_EQ(testing::ReadFile("0002.csv"), "other");
    EXPECT_EQ(testing::ReadFile("0003.csv"), "run");
    EXPECT_EQ(ListFolder(".").size(), 2u);
  }
}

}  // namespace
}  // namespace zolt::platform
