// The crash report text and the "bugreport.txt" record, byte for byte.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "frame/crash.h"

namespace zolt::frame {
namespace {

platform::FaultInfo AccessViolation() {
  platform::FaultInfo fault;
  fault.Description = "Access violation";
  fault.Code = -1073741819;
  fault.CodeAddress = 0x00005555'80001234;  // low 32 bits read as a negative number
  fault.HasTargetAddress = true;
  fault.TargetAddress = 0;
  const int32_t registers[8] = {1, -2, 0, 2147483647, -2147483647 - 1, 40, -50, 123456};
  std::memcpy(fault.Registers, registers, sizeof registers);
  fault.HasSourcePosition = true;
  fault.SourceLine = 812;
  std::strcpy(fault.SourceFile, "/src/link/reader.cpp");
  return fault;
}

const char* const ReportTail =
    "\r"
    "Register content:\r"
    "EAX = 1\r"
    "EBX = -2\r"
    "ECX = 0\r"
    "EDX = 2147483647\r"
    "EBP = -2147483648\r"
    "ESI = 40\r"
    "EDI = -50\r"
    "ESP = 123456\r"
    "\r"
    "Please email both 'bugreport.txt' and 'log.txt' to support@brevaxo.com\r"
    "We will attempt to fix this bug ASAP. Thank you again for your help!\r";

std::string Report(const platform::FaultInfo& fault) {
  char buffer[4096];
  const size_t length = BuildCrashReport(fault, buffer, sizeof buffer);
  return std::string(buffer, length);
}

TEST(CrashReport, AccessViolationWithSourcePosition) {
  const std::string expected = std::string(
                                   "Sorry! A program error was detected:\r"
                                   "\r"
                                   "Error Message:   Access violation\r"
                                   "Error Code:      -1073741819\r"
                                   "Code Address:    -2147478988\r"
                                   "Target Address:  0\r"
                                   "Sourcecode line: 812\r"
                                   "Sourcecode file: /src/link/reader.cpp\r") +
                               ReportTail;
  EXPECT_EQ(Report(AccessViolation()), expected);
}

TEST(CrashReport, OtherFaultWithoutSourcePosition) {
  platform::FaultInfo fault = AccessViolation();
  fault.Description = "Integer divide by zero";
  fault.Code = -1073741676;
  fault.CodeAddress = 0x401000;
  fault.HasTargetAddress = false;
  fault.TargetAddress = 0x1234;  // ignored without the flag
  fault.HasSourcePosition = false;
  const std::string expected =
      std::string(
          "Sorry! A program error was detected:\r"
          "\r"
          "Error Message:   Integer divide by zero\r"
          "Error Code:      -1073741676\r"
          "Code Address:    4198400\r"
          "Sourcecode line: Enable OnError lines support to get code line information.\r") +
      ReportTail;
  EXPECT_EQ(Report(fault), expected);
}

TEST(CrashReport, LongSourceFileNameIsBoundedByItsField) {
  platform::FaultInfo fault = AccessViolation();
  std::memset(fault.SourceFile, 'x', sizeof fault.SourceFile);  // no terminating NUL
  const std::string report = Report(fault);
  EXPECT_NE(report.find("Sourcecode file: " + std::string(sizeof fault.SourceFile, 'x') + "\r\r"),
            std::string::npos);
}

TEST(CrashReport, SmallBufferIsCutShortAndTerminated) {
  char buffer[40];
  std::memset(buffer, '#', sizeof buffer);
  const size_t length = BuildCrashReport(AccessViolation(), buffer, 20);
  EXPECT_EQ(length, 19u);
  EXPECT_EQ(std::string(buffer), "Sorry! A program er");
  EXPECT_EQ(buffer[20], '#');

  char record[60];
  std::memset(record, '#', sizeof record);
  const size_t recordLength = BuildCrashRecord(AccessViolation(), {}, record, 50);
  EXPECT_EQ(recordLength, 49u);
  EXPECT_EQ(record[49], '\0');
  EXPECT_EQ(record[50], '#');
}

TEST(CrashRecord, AsteriskLineDateLineAndBlockEndingInCrLf) {
  platform::DateTime when;
  when.Year = 2026;
  when.Month = 3;
  when.Day = 5;
  when.Hour = 9;
  when.Minute = 7;
  when.Second = 3;
  char buffer[4608];
  const size_t length = BuildCrashRecord(AccessViolation(), when, buffer, sizeof buffer);
  const std::string expected = "***************************\r\n"
                               "*** 05/03/2026 09:07:03 ***\r\n" +
                               Report(AccessViolation()) + "\r\n";
  EXPECT_EQ(std::string(buffer, length), expected);
  // The report's last line keeps its own CR before the block's CR LF.
  EXPECT_EQ(expected.substr(expected.size() - 4), "!\r\r\n");
}

}  // namespace
}  // namespace zolt::frame
