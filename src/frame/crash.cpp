// Crash report: the report text, the "bugreport.txt" record and the fault callback.
//
// All of it runs inside the platform's fault handler, in whichever thread faulted, so
// it writes into fixed buffers through a small bounded writer and calls only the
// platform's async-signal-safe helpers.
#include "frame/crash.h"

#include <cstdint>
#include <cstring>

namespace zolt::frame {

namespace {

// Appends text to a fixed buffer, cutting it short when full; the buffer always stays
// NUL-terminated.
struct BoundedWriter {
  char* Out;
  size_t Capacity;
  size_t Length = 0;

  BoundedWriter(char* out, size_t capacity) : Out(out), Capacity(capacity) {
    if (Capacity > 0) Out[0] = '\0';
  }
  void Chars(const char* text, size_t count) {
    if (Capacity == 0) return;
    const size_t room = Capacity - 1 - Length;
    if (count > room) count = room;
    std::memcpy(Out + Length, text, count);
    Length += count;
    Out[Length] = '\0';
  }
  void Text(const char* text) { Chars(text, text != nullptr ? std::strlen(text) : 0); }
  // Signed decimal.
  void Number(int32_t value) {
    char digits[12];
    int count = 0;
    int64_t rest = value;
    const bool negative = rest < 0;
    if (negative) rest = -rest;
    do {
      digits[count++] = static_cast<char>('0' + rest % 10);
      rest /= 10;
    } while (rest != 0);
    if (negative) Chars("-", 1);
    while (count > 0) Chars(&digits[--count], 1);
  }
  // Two digits (four for a year): leading zeros kept.
  void Digits(int value, int width) {
    char digits[4];
    for (int i = width - 1; i >= 0; --i) {
      digits[i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    Chars(digits, static_cast<size_t>(width));
  }
  void EndLine() { Chars("\r", 1); }
  void Line(const char* text) {
    Text(text);
    EndLine();
  }
};

// The low 32 bits of an address, read as a signed number.
int32_t Low32(uint64_t address) { return static_cast<int32_t>(static_cast<uint32_t>(address)); }

const char* const RegisterNames[8] = {"EAX = ", "EBX = ", "ECX = ", "EDX = ",
                                      "EBP = ", "ESI = ", "EDI = ", "ESP = "};

}  // namespace

size_t BuildCrashReport(const platform::FaultInfo& fault, char* out, size_t capacity) {
  BoundedWriter w(out, capacity);
  w.Line("Sorry! A program error was detected:");
  w.EndLine();
  w.Text("Error Message:   ");
  w.Line(fault.Description);
  w.Text("Error Code:      ");
  w.Number(fault.Code);
  w.EndLine();
  w.Text("Code Address:    ");
  w.Number(Low32(fault.CodeAddress));
  w.EndLine();
  if (fault.HasTargetAddress) {
    w.Text("Target Address:  ");
    w.Number(Low32(fault.TargetAddress));
    w.EndLine();
  }
  if (fault.HasSourcePosition) {
    w.Text("Sourcecode line: ");
    w.Number(fault.SourceLine);
    w.EndLine();
    w.Text("Sourcecode file: ");
    w.Chars(fault.SourceFile, strnlen(fault.SourceFile, sizeof fault.SourceFile));
    w.EndLine();
  } else {
    w.Line("Sourcecode line: Enable OnError lines support to get code line information.");
  }
  w.EndLine();
  w.Line("Register content:");
  for (int i = 0; i < 8; ++i) {
    w.Text(RegisterNames[i]);
    w.Number(fault.Registers[i]);
    w.EndLine();
  }
  w.EndLine();
  w.Text("Please email both 'bugreport.txt' and 'log.txt' to ");
  w.Line(SupportEmail);
  w.Line("We will attempt to fix this bug ASAP. Thank you again for your help!");
  return w.Length;
}

size_t BuildCrashRecord(const platform::FaultInfo& fault, const platform::DateTime& when,
                        char* out, size_t capacity) {
  BoundedWriter w(out, capacity);
  w.Text("***************************\r\n");
  w.Text("*** ");
  w.Digits(when.Day, 2);
  w.Text("/");
  w.Digits(when.Month, 2);
  w.Text("/");
  w.Digits(when.Year, 4);
  w.Text(" ");
  w.Digits(when.Hour, 2);
  w.Text(":");
  w.Digits(when.Minute, 2);
  w.Text(":");
  w.Digits(when.Second, 2);
  w.Text(" ***\r\n");
  if (w.Length + 1 < capacity) {
    w.Length += BuildCrashReport(fault, out + w.Length, capacity - w.Length);
  }
  w.Text("\r\n");
  return w.Length;
}

void ErrorHandler(const platform::FaultInfo& fault) {
  // Static: the handler runs once, possibly on a small alternate stack.
  static char report[4096];
  static char record[4608];
  BuildCrashReport(fault, report, sizeof report);
  const size_t length = BuildCrashRecord(fault, platform::SafeLocalDateTime(), record, sizeof record);

  const int file = platform::SafeOpenForAppend(BugReportFile);
  if (file >= 0) {
    platform::SafeWrite(file, record, static_cast<int>(length));
    platform::SafeClose(file);
  } else {
    platform::SafeShowMessage("Cannot write to file", "Cannot write to 'bugreport.txt' file.");
  }
  platform::SafeShowMessage("OnError Handler", report);
  platform::EndProcessAfterFault();
}

}  // namespace zolt::frame
