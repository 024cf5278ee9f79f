// The crash handler in a real faulting process: the crash program runs as a child in a
// temporary folder, without a display unless a test gives it one, and the test reads
// the "bugreport.txt" it leaves, its standard error and its exit status.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/wire.h"
#include "platform/system.h"
#include "support/pty_link.h"
#include "support/temp_folder.h"
#include "support/wait_for.h"

extern char** environ;

namespace zolt::frame {
namespace {

struct ChildResult {
  int Status = -1;  // as waitpid gives it
  std::string Out;
  std::string Error;
};

// Starts `program` with one argument in the working folder, standard output and error
// going to files there. The environment is this one's without any display, plus `extra`.
pid_t StartChild(const std::string& program, const std::string& argument,
                 const std::vector<std::string>& extra = {}) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "DISPLAY=", 8) == 0 || std::strncmp(*entry, "WAYLAND_DISPLAY=", 16) == 0) {
      continue;
    }
    environment.emplace_back(*entry);
  }
  environment.insert(environment.end(), extra.begin(), extra.end());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string programCopy = program;
  std::string argumentCopy = argument;
  char* argv[] = {programCopy.data(), argumentCopy.data(), nullptr};

  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open("child_out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int error = ::open("child_err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(error, STDERR_FILENO);
    ::execve(program.c_str(), argv, envp.data());
    ::_exit(126);
  }
  return child;
}

ChildResult WaitChild(pid_t child) {
  ChildResult result;
  ::waitpid(child, &result.Status, 0);
  result.Out = testing::ReadFile("child_out.txt");
  result.Error = testing::ReadFile("child_err.txt");
  return result;
}

ChildResult RunChild(const std::string& program, const std::string& argument,
                     const std::vector<std::string>& extra = {}) {
  return WaitChild(StartChild(program, argument, extra));
}

// The lines of one report block (split at CR), and the text after the block's CR LF.
struct Record {
  std::string DateLine;
  std::vector<std::string> Lines;
};

// Splits "bugreport.txt" into its records, checking the framing of each.
std::vector<Record> ReadRecords(const std::string& bytes) {
  std::vector<Record> records;
  const std::string stars = "***************************\r\n";
  size_t at = 0;
  while (at < bytes.size()) {
    EXPECT_EQ(bytes.compare(at, stars.size(), stars), 0) << "no asterisk line at " << at;
    at += stars.size();
    Record record;
    const size_t dateEnd = bytes.find("\r\n", at);
    if (dateEnd == std::string::npos) break;
    record.DateLine = bytes.substr(at, dateEnd - at);
    at = dateEnd + 2;
    const size_t blockEnd = bytes.find("\r\n", at);
    if (blockEnd == std::string::npos) break;
    const std::string block = bytes.substr(at, blockEnd - at);
    EXPECT_EQ(block.find('\n'), std::string::npos);
    EXPECT_EQ(block.back(), '\r') << "the report's last line ends in CR before CR LF";
    size_t start = 0;
    for (size_t cr = block.find('\r'); cr != std::string::npos; cr = block.find('\r', start)) {
      record.Lines.push_back(block.substr(start, cr - start));
      start = cr + 1;
    }
    records.push_back(record);
    at = blockEnd + 2;
  }
  return records;
}

bool IsSigned32(const std::string& text) {
  const size_t digits = text.rfind('-', 0) == 0 ? 1 : 0;
  if (text.size() == digits || text.size() - digits > 10) return false;
  if (text[digits] == '0' && text.size() > digits + 1) return false;
  for (size_t i = digits; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  const long long value = std::stoll(text);
  return value >= -2147483648LL && value <= 2147483647LL;
}

// "*** dd/mm/yyyy hh:mm:ss ***"
bool IsDateLine(const std::string& line) {
  const std::string shape = "*** 00/00/0000 00:00:00 ***";
  if (line.size() != shape.size()) return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == '0' ? (line[i] < '0' || line[i] > '9') : line[i] != shape[i]) return false;
  }
  return true;
}

// Checks a record of a null write: everything but the source position.
void ExpectNullWriteRecord(const Record& record) {
  EXPECT_TRUE(IsDateLine(record.DateLine)) << record.DateLine;
  const std::vector<std::string>& lines = record.Lines;
  ASSERT_GE(lines.size(), 20u);
  EXPECT_EQ(lines[0], "Sorry! A program error was detected:");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "Error Message:   Access violation");
  EXPECT_EQ(lines[3], "Error Code:      -1073741819");
  ASSERT_EQ(lines[4].rfind("Code Address:    ", 0), 0u);
  EXPECT_TRUE(IsSigned32(lines[4].substr(17))) << lines[4];
  EXPECT_EQ(lines[5], "Target Address:  0");
  const size_t registers = lines.size() - 12;  // "Register content:" line
  EXPECT_EQ(lines[registers - 1], "");
  EXPECT_EQ(lines[registers], "Register content:");
  const char* const names[8] = {"EAX = ", "EBX = ", "ECX = ", "EDX = ",
                                "EBP = ", "ESI = ", "EDI = ", "ESP = "};
  for (int i = 0; i < 8; ++i) {
    const std::string& line = lines[registers + 1 + i];
    ASSERT_EQ(line.rfind(names[i], 0), 0u) << line;
    EXPECT_TRUE(IsSigned32(line.substr(6))) << line;
  }
  EXPECT_EQ(lines[registers + 9], "");
  EXPECT_EQ(lines[registers + 10],
            "Please email both 'bugreport.txt' and 'log.txt' to support@brevaxo.com");
  EXPECT_EQ(lines[registers + 11],
            "We will attempt to fix this bug ASAP. Thank you again for your help!");
}

class CrashProcess : public ::testing::Test {
 protected:
  testing::TempFolder folder;
};

TEST_F(CrashProcess, NullWriteInASecondThreadAppendsOneRecordPerCrash) {
  const ChildResult first = RunChild(ZOLT_CRASH_PROGRAM, "null-write");
  ASSERT_TRUE(WIFEXITED(first.Status)) << first.Error;
  EXPECT_EQ(WEXITSTATUS(first.Status), 128 + SIGSEGV);
  const std::string afterFirst = testing::ReadFile("bugreport.txt");
  std::vector<Record> records = ReadRecords(afterFirst);
  ASSERT_EQ(records.size(), 1u);
  ExpectNullWriteRecord(records[0]);

  // The faulting statement's line, from the debug information.
  const std::vector<std::string>& lines = records[0].Lines;
  ASSERT_EQ(lines.size(), 21u) << lines[6];
  EXPECT_EQ("Sourcecode line: " + first.Out.substr(5, first.Out.size() - 6), lines[6]);
  EXPECT_TRUE(lines[7].rfind("Sourcecode file: ", 0) == 0 &&
              lines[7].size() > 34 && lines[7].compare(lines[7].size() - 17, 17, "crash_program.cpp") == 0)
      << lines[7];

  // Without a display the report goes to standard error, its lines ended by LF.
  EXPECT_NE(first.Error.find("OnError Handler\nSorry! A program error was detected:\n\nError Message:"),
            std::string::npos)
      << first.Error;
  EXPECT_EQ(first.Error.find('\r'), std::string::npos);

  const ChildResult second = RunChild(ZOLT_CRASH_PROGRAM, "null-write");
  EXPECT_EQ(WEXITSTATUS(second.Status), 128 + SIGSEGV);
  const std::string afterSecond = testing::ReadFile("bugreport.txt");
  EXPECT_EQ(afterSecond.compare(0, afterFirst.size(), afterFirst), 0) << "the first record is kept";
  records = ReadRecords(afterSecond);
  ASSERT_EQ(records.size(), 2u);
  ExpectNullWriteRecord(records[1]);
}

// The date line is local time: with a zone five hours ahead of UTC, it must match what
// this process computes for the same zone around the run.
TEST_F(CrashProcess, DateLineIsLocalTime) {
  const char* zone = "XST-5";
  auto stamp = [zone](std::time_t when) {
    const char* previous = std::getenv("TZ");
    const std::string saved = previous != nullptr ? previous : "";
    ::setenv("TZ", zone, 1);
    ::tzset();
    std::tm local{};
    ::localtime_r(&when, &local);
    char text[64];
    std::strftime(text, sizeof text, "*** %d/%m/%Y %H:%M:%S ***", &local);
    if (previous != nullptr) {
      ::setenv("TZ", saved.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
    return std::string(text);
  };
  const std::time_t before = std::time(nullptr);
  RunChild(ZOLT_CRASH_PROGRAM, "null-write", {std::string("TZ=") + zone});
  const std::time_t after = std::time(nullptr);
  const std::vector<Record> records = ReadRecords(testing::ReadFile("bugreport.txt"));
  ASSERT_EQ(records.size(), 1u);
  bool matched = false;
  for (std::time_t when = before; when <= after; ++when) matched = matched || records[0].DateLine == stamp(when);
  EXPECT_TRUE(matched) << records[0].DateLine << " vs " << stamp(before);
}

TEST_F(CrashProcess, UnwritableReportFileIsShownAndTheReportStillShown) {
  testing::MakeFolder("bugreport.txt");  // a folder cannot be opened for appending
  const ChildResult result = RunChild(ZOLT_CRASH_PROGRAM, "null-write");
  EXPECT_EQ(WEXITSTATUS(result.Status), 128 + SIGSEGV);
  const size_t cannot = result.Error.find("Cannot write to file\nCannot write to 'bugreport.txt' file.\n");
  const size_t report = result.Error.find("OnError Handler\nSorry!");
  ASSERT_NE(cannot, std::string::npos) << result.Error;
  ASSERT_NE(report, std::string::npos) << result.Error;
  EXPECT_LT(cannot, report);
}

TEST_F(CrashProcess, IntegerDivideByZeroHasNoTargetAddress) {
  const ChildResult result = RunChild(ZOLT_CRASH_PROGRAM, "divide");
  EXPECT_EQ(WEXITSTATUS(result.Status), 128 + SIGFPE);
  const std::vector<Record> records = ReadRecords(testing::ReadFile("bugreport.txt"));
  ASSERT_EQ(records.size(), 1u);
  const std::vector<std::string>& lines = records[0].Lines;
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[2], "Error Message:   Integer divide by zero");
  EXPECT_EQ(lines[3], "Error Code:      -1073741676");
  EXPECT_EQ(lines[5].rfind("Sourcecode line: ", 0), 0u) << lines[5];
}

TEST_F(CrashProcess, StackOverflowInAPreparedThreadIsReported) {
  const ChildResult result = RunChild(ZOLT_CRASH_PROGRAM, "overflow");
  ASSERT_TRUE(WIFEXITED(result.Status)) << "killed by signal " << WTERMSIG(result.Status);
  EXPECT_EQ(WEXITSTATUS(result.Status), 128 + SIGSEGV);
  const std::vector<Record> records = ReadRecords(testing::ReadFile("bugreport.txt"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].Lines[3], "Error Code:      -1073741819");
}

// Every way the program ends at once leaves the instrument safe first: a fault, a signal
// that ends it, a second stop signal. The port gets the block last sent with register 1
// asking for the sweep stopped and the high voltage off, before the program has ended;
// from an instrument that does not read, as the last bytes it is sent.
TEST_F(CrashProcess, AnEndBySignalSwitchesTheHighVoltageOffFirst) {
  struct Case {
    int Signal;
    int Times;        // sent once, or again once the first asked for an orderly end
    bool Reported;    // a fault: reported, then exit status 128 + signal
    bool Behind = false;  // the port full and bytes kept, read once the program ended
  };
  const Case cases[] = {{SIGSEGV, 1, true},  {SIGABRT, 1, true},  {SIGQUIT, 1, false},
                        {SIGUSR1, 1, false}, {SIGALRM, 1, false}, {SIGPIPE, 1, false},
                        {SIGRTMIN, 1, false}, {SIGTERM, 2, false}, {SIGSEGV, 1, true, true},
                        {SIGQUIT, 1, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(strsignal(c.Signal));
    testing::PtyLink instrument(1);
    const pid_t child = StartChild(ZOLT_CRASH_PROGRAM, c.Behind ? "behind" : "connected");
    std::vector<uint8_t> expected = instrument.Read(256, 10000);  // the block sent at connect
    ASSERT_EQ(expected.size(), 256u);
    ASSERT_TRUE(!c.Behind || testing::WaitFor([] { return testing::ReadFile("child_out.txt") == "behind\n"; }, 10000));
    for (int i = 1; i < c.Times; ++i) {
      ::kill(child, c.Signal);
      ASSERT_EQ(instrument.Read(1, 10000), std::vector<uint8_t>{'S'});
    }
    ::kill(child, c.Signal);
    // Register 1 comes second to last: bit 1 stops the sweep, bit 3 the high voltage.
    const size_t at = 30 * link::RegisterPacketBytes;
    uint32_t bits = 0;
    for (int i = 2; i < 6; ++i) bits = bits << 8 | expected[at + i];
    const link::RegisterPacket packet = link::BuildRegisterPacket(1, (bits | 0xA) & ~0x5u, true);
    std::copy(packet.begin(), packet.end(), expected.begin() + at);
    std::vector<uint8_t> sent = c.Behind ? std::vector<uint8_t>{} : instrument.Read(256, 10000);
    const ChildResult result = WaitChild(child);
    for (std::vector<uint8_t> more; c.Behind && !(more = instrument.Read(1 << 16, 1000)).empty();)
      sent.insert(sent.end(), more.begin(), more.end());
    if (sent.size() > 256) sent.erase(sent.begin(), sent.end() - 256);
    EXPECT_EQ(sent, expected);
    if (c.Reported) {
      EXPECT_TRUE(WIFEXITED(result.Status) && WEXITSTATUS(result.Status) == 128 + c.Signal) << result.Status;
    } else {
      EXPECT_TRUE(WIFSIGNALED(result.Status) && WTERMSIG(result.Status) == c.Signal) << result.Status;
    }
  }
}

// With a display, the report goes to the viewer beside the program, which gets the
// title and the text as they stand; a viewer that fails falls back to standard error.
TEST_F(CrashProcess, ViewerBesideTheProgramShowsTheMessages) {
  namespace fs = std::filesystem;
  fs::create_directory("program");
  fs::copy_file(ZOLT_CRASH_PROGRAM, "program/zolt_crash_program");
  testing::WriteFile("program/zolt-crashview",
                     "#!/bin/sh\n"
                     "printf '[%s]' \"$1\" >> shown.txt\n"
                     "printf '%s' \"$2\" >> shown.txt\n"
                     "printf '|\\n' >> shown.txt\n"
                     "[ \"$1\" != 'OnError Handler' ]\n");  // fails on the report only
  fs::permissions("program/zolt-crashview", fs::perms::owner_all);
  testing::MakeFolder("bugreport.txt");

  const ChildResult result =
      RunChild(folder.Path() + "/program/zolt_crash_program", "null-write", {"DISPLAY=:99"});
  EXPECT_EQ(WEXITSTATUS(result.Status), 128 + SIGSEGV);
  const std::string shown = testing::ReadFile("shown.txt");
  EXPECT_EQ(shown.rfind("[Cannot write to file]Cannot write to 'bugreport.txt' file.|\n"
                        "[OnError Handler]Sorry! A program error was detected:\r\r",
                        0),
            0u)
      << shown;
  EXPECT_NE(shown.find("Thank you again for your help!\r|\n"), std::string::npos);
  // The first box was shown by the viewer; the second one failed, so it went to
  // standard error too.
  EXPECT_EQ(result.Error.find("Cannot write to file"), std::string::npos) << result.Error;
  EXPECT_NE(result.Error.find("OnError Handler\nSorry!"), std::string::npos) << result.Error;
}

}  // namespace
}  // namespace zolt::frame
