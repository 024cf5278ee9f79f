// System part: the fault handler.
//
// Parts in reading order: what is worked out when the handler is installed (viewer and
// addr2line paths, the time zone's offsets), alternate signal stacks, the local time
// from inside the handler, the fault's description and code, the registers, the source
// position, the signal handler itself, and the async-signal-safe helpers.
//
// Everything that runs in the handler uses fixed buffers and async-signal-safe calls
// only: open/read/write/close, fstat/poll, _Fork/execve/waitpid, clock_gettime. Child
// programs are started with _Fork, which skips the fork handlers that could wait on a
// lock held by the code that faulted.
#include <elf.h>
#include <fcntl.h>
#include <limits.h>
#include <link.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/system.h"

extern char** environ;

namespace zolt::platform {

namespace {

// ---- worked out when the handler is installed ----

std::atomic<FaultCallback> Callback{nullptr};
char ViewerPath[PATH_MAX] = {};
char Addr2linePath[PATH_MAX] = {};

// The time zone's offset from UTC, from each change on, for two years from the install.
struct OffsetChange {
  int64_t From = 0;  // seconds since 1970
  int64_t Offset = 0;
};
constexpr int MaxOffsetChanges = 16;
OffsetChange OffsetChanges[MaxOffsetChanges];
std::atomic<int> OffsetChangeCount{0};

void CopyPath(char* target, const std::string& path) {
  if (path.size() >= PATH_MAX) {
    target[0] = '\0';
    return;
  }
  std::memcpy(target, path.c_str(), path.size() + 1);
}

int64_t OffsetAt(std::time_t when) {
  std::tm local{};
  ::localtime_r(&when, &local);
  return local.tm_gmtoff;
}

void WorkOutOffsets() {
  const std::time_t now = std::time(nullptr);
  int count = 0;
  int64_t current = OffsetAt(now);
  OffsetChanges[count++] = {INT64_MIN, current};
  const std::time_t end = now + 2 * 366 * 86400;
  // Offsets change at most a few times a year and never twice within six hours: step
  // by six hours and pin each change to the second by halving.
  for (std::time_t step = now; step < end && count < MaxOffsetChanges; step += 6 * 3600) {
    const std::time_t next = step + 6 * 3600;
    if (OffsetAt(next) == current) continue;
    std::time_t before = step;
    std::time_t after = next;
    while (after - before > 1) {
      const std::time_t middle = before + (after - before) / 2;
      (OffsetAt(middle) == current ? before : after) = middle;
    }
    current = OffsetAt(after);
    OffsetChanges[count++] = {static_cast<int64_t>(after), current};
  }
  OffsetChangeCount.store(count);
}

// ---- alternate signal stacks ----

constexpr size_t AltStackSize = 256 * 1024;

// The calling thread's alternate stack, with a guard page below it; released when the
// thread ends.
struct AltStack {
  void* Memory = nullptr;
  size_t Size = 0;
  ~AltStack() {
    if (Memory == nullptr) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(&off, nullptr);
    ::munmap(Memory, Size);
  }
};

thread_local AltStack ThreadAltStack;

// ---- local time from inside the handler ----

// Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

// ---- the fault's description and code ----

constexpr int32_t Status(uint32_t code) { return static_cast<int32_t>(code); }

void DescribeFault(int signal, const siginfo_t* info, FaultInfo& fault) {
  const int code = info != nullptr ? info->si_code : 0;
  // A fault raised by the processor has a positive si_code; one sent by kill() has not,
  // and then si_addr holds no address.
  const bool fromProcessor = code > 0;
  switch (signal) {
    case SIGSEGV:
    case SIGBUS:
      fault.Code = Status(0xC0000005);
      fault.Description = signal == SIGSEGV ? "Access violation" : "Access violation (bus error)";
      fault.HasTargetAddress = fromProcessor;
      if (fromProcessor) fault.TargetAddress = reinterpret_cast<uintptr_t>(info->si_addr);
      break;
    case SIGILL:
      if (code == ILL_PRVOPC || code == ILL_PRVREG) {
        fault.Code = Status(0xC0000096);
        fault.Description = "Privileged instruction";
      } else {
        fault.Code = Status(0xC000001D);
        fault.Description = "Illegal instruction";
      }
      break;
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV:
          fault.Code = Status(0xC0000094);
          fault.Description = "Integer divide by zero";
          break;
        case FPE_INTOVF:
          fault.Code = Status(0xC0000095);
          fault.Description = "Integer overflow";
          break;
        case FPE_FLTDIV:
          fault.Code = Status(0xC000008E);
          fault.Description = "Floating-point divide by zero";
          break;
        case FPE_FLTOVF:
          fault.Code = Status(0xC0000091);
          fault.Description = "Floating-point overflow";
          break;
        case FPE_FLTUND:
          fault.Code = Status(0xC0000093);
          fault.Description = "Floating-point underflow";
          break;
        case FPE_FLTRES:
          fault.Code = Status(0xC000008F);
          fault.Description = "Floating-point inexact result";
          break;
        case FPE_FLTSUB:
          fault.Code = Status(0xC000008C);
          fault.Description = "Array bounds exceeded";
          break;
        default:
          fault.Code = Status(0xC0000090);
          fault.Description = "Floating-point invalid operation";
          break;
      }
      break;
    case SIGABRT:
      fault.Code = Status(0x40000015);
      fault.Description = "Program aborted";
      break;
    default:
      fault.Code = 0;
      fault.Description = "Unknown fault";
      break;
  }
}

// ---- registers ----

constexpr int32_t Low32(uint64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

void ReadRegisters(const void* context, FaultInfo& fault) {
  if (context == nullptr) return;
  const auto* machine = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  const greg_t* r = machine->uc_mcontext.gregs;
  fault.CodeAddress = static_cast<uint64_t>(r[REG_RIP]);
  const int order[8] = {REG_RAX, REG_RBX, REG_RCX, REG_RDX, REG_RBP, REG_RSI, REG_RDI, REG_RSP};
  for (int i = 0; i < 8; ++i) fault.Registers[i] = Low32(static_cast<uint64_t>(r[order[i]]));
#elif defined(__aarch64__)
  // The first eight general registers stand in; the last one is the stack pointer.
  fault.CodeAddress = machine->uc_mcontext.pc;
  for (int i = 0; i < 7; ++i) fault.Registers[i] = Low32(machine->uc_mcontext.regs[i]);
  fault.Registers[7] = Low32(machine->uc_mcontext.sp);
#else
  (void)machine;
#endif
}

// ---- source position ----

// Reads /proc/self/maps line by line into a fixed buffer.
struct MapsReader {
  int Fd = -1;
  char Buffer[4096];
  size_t Filled = 0;
  size_t Start = 0;
  char Line[PATH_MAX + 256];

  // The next line without its end, NUL-terminated; false at the end of the file. Over-long
  // lines are cut short.
  bool Next() {
    size_t length = 0;
    for (;;) {
      if (Start == Filled) {
        const ssize_t got = ::read(Fd, Buffer, sizeof Buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
          Line[length] = '\0';
          return length > 0;
        }
        Filled = static_cast<size_t>(got);
        Start = 0;
      }
      const char c = Buffer[Start++];
      if (c == '\n') {
        Line[length] = '\0';
        return true;
      }
      if (length + 1 < sizeof Line) Line[length++] = c;
    }
  }
};

const char* ParseHex(const char* text, uint64_t& value) {
  value = 0;
  for (;; ++text) {
    const char c = *text;
    if (c >= '0' && c <= '9') {
      value = value * 16 + static_cast<uint64_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      value = value * 16 + static_cast<uint64_t>(c - 'a' + 10);
    } else {
      return text;
    }
  }
}

const char* SkipField(const char* text) {
  while (*text != '\0' && *text != ' ') ++text;
  while (*text == ' ') ++text;
  return text;
}

// One mapping: "start-end perms offset dev inode path".
struct Mapping {
  uint64_t Start = 0;
  uint64_t End = 0;
  uint64_t Offset = 0;
  bool Readable = false;
  const char* Path = "";
};

bool ParseMapping(const char* line, Mapping& map) {
  const char* p = ParseHex(line, map.Start);
  if (*p != '-') return false;
  p = ParseHex(p + 1, map.End);
  if (*p != ' ') return false;
  ++p;
  map.Readable = *p == 'r';
  p = SkipField(p);
  ParseHex(p, map.Offset);
  p = SkipField(p);  // offset
  p = SkipField(p);  // device
  p = SkipField(p);  // inode
  map.Path = p;
  return true;
}

// The file that holds `address` and the address as that file's debug information
// counts it (its virtual address before loading). False when the address lies in no
// file, for example in generated code.
bool FindModule(uint64_t address, char* path, size_t pathSize, uint64_t& fileAddress) {
  MapsReader reader;
  reader.Fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (reader.Fd < 0) return false;
  char basePath[PATH_MAX] = {};
  uint64_t baseStart = 0;
  bool found = false;
  while (!found && reader.Next()) {
    Mapping map;
    if (!ParseMapping(reader.Line, map) || map.Path[0] != '/') continue;
    // The mapping at file offset 0 holds the ELF header; it comes before the others.
    if (map.Offset == 0 && map.Readable) {
      const size_t length = std::strlen(map.Path);
      if (length < sizeof basePath) {
        std::memcpy(basePath, map.Path, length + 1);
        baseStart = map.Start;
      }
    }
    if (address < map.Start || address >= map.End) continue;
    if (std::strcmp(basePath, map.Path) != 0) break;
    const size_t length = std::strlen(map.Path);
    if (length >= pathSize) break;
    std::memcpy(path, map.Path, length + 1);
    found = true;
  }
  ::close(reader.Fd);
  if (!found) return false;

  // The load bias is where the lowest loaded segment landed, less its virtual address
  // (0 for a program linked at a fixed address).
  const auto* header = reinterpret_cast<const ElfW(Ehdr)*>(baseStart);
  if (std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0) return false;
  if (header->e_phoff == 0 || header->e_phoff + header->e_phnum * sizeof(ElfW(Phdr)) > 4096) {
    return false;
  }
  const auto* segments = reinterpret_cast<const ElfW(Phdr)*>(baseStart + header->e_phoff);
  uint64_t lowest = UINT64_MAX;
  for (int i = 0; i < header->e_phnum; ++i) {
    if (segments[i].p_type == PT_LOAD && segments[i].p_vaddr < lowest) lowest = segments[i].p_vaddr;
  }
  if (lowest == UINT64_MAX) return false;
  const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  const uint64_t bias = baseStart - (lowest & ~(page - 1));
  fileAddress = address - bias;
  return true;
}

void FormatHex(uint64_t value, char* out) {
  char digits[17];
  int count = 0;
  do {
    digits[count++] = "0123456789abcdef"[value & 15];
    value >>= 4;
  } while (value != 0);
  out[0] = '0';
  out[1] = 'x';
  for (int i = 0; i < count; ++i) out[2 + i] = digits[count - 1 - i];
  out[2 + count] = '\0';
}

// Runs addr2line on the file and address; its first output line ("file:line", perhaps
// followed by " (discriminator n)") goes to `out`. Gives up after five seconds.
bool RunAddr2line(const char* file, uint64_t fileAddress, char* out, size_t outSize) {
  if (Addr2linePath[0] == '\0') return false;
  int pipeEnds[2];
  if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
  char address[24];
  FormatHex(fileAddress, address);
  const pid_t child = ::_Fork();
  if (child == 0) {
    ::dup2(pipeEnds[1], STDOUT_FILENO);
    const int nothing = ::open("/dev/null", O_RDWR);
    if (nothing >= 0) {
      ::dup2(nothing, STDIN_FILENO);
      ::dup2(nothing, STDERR_FILENO);
    }
    ::close_range(3, UINT_MAX, 0);
    char option[] = "-e";
    char* const arguments[] = {Addr2linePath, option, const_cast<char*>(file), address, nullptr};
    char* const noEnvironment[] = {nullptr};
    ::execve(Addr2linePath, arguments, noEnvironment);
    ::_exit(127);
  }
  ::close(pipeEnds[1]);
  if (child < 0) {
    ::close(pipeEnds[0]);
    return false;
  }
  size_t length = 0;
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const int64_t deadline = now.tv_sec * 1000 + now.tv_nsec / 1000000 + 5000;
  for (;;) {
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t left = deadline - (now.tv_sec * 1000 + now.tv_nsec / 1000000);
    if (left <= 0) {
      ::kill(child, SIGKILL);
      break;
    }
    pollfd ready{pipeEnds[0], POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) continue;
    char chunk[256];
    const ssize_t got = ::read(pipeEnds[0], chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    for (ssize_t i = 0; i < got && length + 1 < outSize; ++i) out[length++] = chunk[i];
  }
  ::close(pipeEnds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  out[length] = '\0';
  return length > 0;
}

// Fills the fault's source position from addr2line's answer "file:line ...".
void ParseSourcePosition(char* answer, FaultInfo& fault) {
  char* end = answer;
  while (*end != '\0' && *end != '\n') ++end;
  *end = '\0';
  if (char* extra = std::strstr(answer, " (discriminator")) *extra = '\0';
  char* colon = std::strrchr(answer, ':');
  if (colon == nullptr || colon == answer) return;
  *colon = '\0';
  int line = 0;
  for (const char* digit = colon + 1; *digit >= '0' && *digit <= '9'; ++digit) {
    if (line < 100000000) line = line * 10 + (*digit - '0');
  }
  if (line <= 0 || answer[0] == '?') return;
  const size_t length = std::strlen(answer);
  const size_t kept = length < sizeof fault.SourceFile ? length : sizeof fault.SourceFile - 1;
  std::memcpy(fault.SourceFile, answer, kept);
  fault.SourceFile[kept] = '\0';
  fault.SourceLine = line;
  fault.HasSourcePosition = true;
}

void FindSourcePosition(FaultInfo& fault) {
  char module[PATH_MAX];
  uint64_t fileAddress = 0;
  if (fault.CodeAddress == 0 || !FindModule(fault.CodeAddress, module, sizeof module, fileAddress)) {
    return;
  }
  char answer[PATH_MAX + 64];
  if (RunAddr2line(module, fileAddress, answer, sizeof answer)) ParseSourcePosition(answer, fault);
}

// ---- the signal handler ----

const int FaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

std::atomic<int> HandlingThread{0};  // the thread id of the thread that reports
std::atomic<int> FaultSignal{0};
FaultInfo Fault;  // filled once, by the reporting thread

void WriteText(int fd, const char* text) { SafeWrite(fd, text, static_cast<int>(std::strlen(text))); }

void OnFault(int signal, siginfo_t* info, void* context) {
  const int self = static_cast<int>(::syscall(SYS_gettid));
  int expected = 0;
  if (!HandlingThread.compare_exchange_strong(expected, self)) {
    if (expected == self) {
      // A fault while reporting a fault: give up at once rather than loop.
      WriteText(STDERR_FILENO, "Fault inside the fault handler\n");
      ::_exit(128 + signal);
    }
    // Another thread is reporting its fault and will end the process.
    for (;;) ::pause();
  }
  // The instrument is left safe before anything else: the report may wait long for its OK.
  WriteEmergencyBlock();
  FaultSignal.store(signal);
  DescribeFault(signal, info, Fault);
  ReadRegisters(context, Fault);
  FindSourcePosition(Fault);
  const FaultCallback callback = Callback.load();
  if (callback != nullptr) callback(Fault);
  EndProcessAfterFault();
}

// True when the environment names a display for the viewer.
bool HasDisplay() {
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    for (const char* name : {"DISPLAY=", "WAYLAND_DISPLAY="}) {
      const size_t length = std::strlen(name);
      if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] != '\0') return true;
    }
  }
  return false;
}

// Writes the message to standard error, its CR line ends turned into LF.
void WriteMessageToStandardError(const char* title, const char* text) {
  WriteText(STDERR_FILENO, title);
  WriteText(STDERR_FILENO, "\n");
  char chunk[512];
  int length = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '\r' && c[1] == '\n') continue;
    chunk[length++] = *c == '\r' ? '\n' : *c;
    if (length == static_cast<int>(sizeof chunk)) {
      SafeWrite(STDERR_FILENO, chunk, length);
      length = 0;
    }
  }
  SafeWrite(STDERR_FILENO, chunk, length);
  WriteText(STDERR_FILENO, "\n");
}

// Starts the viewer and waits for it; true when it showed the message.
bool RunViewer(const char* title, const char* text) {
  if (ViewerPath[0] == '\0' || !HasDisplay() || ::access(ViewerPath, X_OK) != 0) return false;
  const pid_t child = ::_Fork();
  if (child == 0) {
    ::close_range(3, UINT_MAX, 0);
    char* const arguments[] = {ViewerPath, const_cast<char*>(title), const_cast<char*>(text),
                               nullptr};
    ::execve(ViewerPath, arguments, environ);
    ::_exit(127);
  }
  if (child < 0) return false;
  int status = 0;
  pid_t waited;
  while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
  }
  return waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

// ---- installing ----

void PrepareThreadForFaults() {
  if (ThreadAltStack.Memory != nullptr) return;
  // A stack set up by someone else (a sanitizer runtime, for one) is left in place.
  stack_t current{};
  if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) return;
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t size = AltStackSize + page;
  void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
  ::mprotect(memory, page, PROT_NONE);  // guard page: an overrun faults instead of corrupting
  stack_t stack{};
  stack.ss_sp = static_cast<char*>(memory) + page;
  stack.ss_size = AltStackSize;
  if (::sigaltstack(&stack, nullptr) != 0) {
    ::munmap(memory, size);
    return;
  }
  ThreadAltStack.Memory = memory;
  ThreadAltStack.Size = size;
}

void InstallFaultHandler(FaultCallback callback) {
  Callback.store(callback);
  CopyPath(ViewerPath, ProgramFolder() + ZOLT_CRASH_VIEWER_NAME);
  Addr2linePath[0] = '\0';
  for (const char* candidate : {"/usr/bin/addr2line", "/usr/local/bin/addr2line", "/bin/addr2line"}) {
    if (::access(candidate, X_OK) == 0) {
      CopyPath(Addr2linePath, candidate);
      break;
    }
  }
  WorkOutOffsets();
  PrepareThreadForFaults();

  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  // While one fault is reported, the other fault signals wait, so that a second fault
  // in the reporting thread ends the process instead of nesting.
  sigemptyset(&action.sa_mask);
  for (const int signal : FaultSignals) sigaddset(&action.sa_mask, signal);
  for (const int signal : FaultSignals) ::sigaction(signal, &action, nullptr);

  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

// ---- async-signal-safe helpers ----

DateTime SafeLocalDateTime() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const int64_t seconds = now.tv_sec;
  int64_t offset = 0;
  const int count = OffsetChangeCount.load();
  for (int i = 0; i < count && OffsetChanges[i].From <= seconds; ++i) offset = OffsetChanges[i].Offset;
  const int64_t local = seconds + offset;
  int64_t days = local / 86400;
  int64_t secondOfDay = local % 86400;
  if (secondOfDay < 0) {
    secondOfDay += 86400;
    --days;
  }
  DateTime when;
  CivilFromDays(days, when.Year, when.Month, when.Day);
  when.Hour = static_cast<int>(secondOfDay / 3600);
  when.Minute = static_cast<int>(secondOfDay / 60 % 60);
  when.Second = static_cast<int>(secondOfDay % 60);
  return when;
}

int SafeOpenForAppend(const char* path) {
  for (;;) {
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

void SafeWrite(int fd, const char* data, int length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, static_cast<size_t>(length));
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += written;
    length -= static_cast<int>(written);
  }
}

void SafeClose(int fd) {
  if (fd >= 0) ::close(fd);
}

void SafeShowMessage(const char* title, const char* text) {
  if (!RunViewer(title, text)) WriteMessageToStandardError(title, text);
}

void EndProcessAfterFault() {
  const int signal = FaultSignal.load();
  ::_exit(signal > 0 ? 128 + signal : 1);
}

}  // namespace zolt::platform
