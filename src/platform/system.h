// Platform layer, system part: clock, local time, files and folders, serial ports,
// run-time library loading, the TCP listening socket and the fault handler.
//
// The program's own code reaches the operating system only through this header,
// draw.h and gui.h. Objects (serial ports, libraries) are addressed by small fixed
// numbers, as the program keeps them. Threads and the mutex are the standard
// library's (std::thread, std::mutex, std::atomic), which need no wrapper.
//
// Sections: clock and time; files and folders; serial ports; the emergency block;
// libraries; network server; fault handler; termination signals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zolt::platform {

// ---- clock and time ----

// Milliseconds from a fixed point at start-up; monotonic, never goes back.
int64_t ElapsedMilliseconds();

// Microseconds on the same clock as ElapsedMilliseconds.
int64_t ElapsedMicroseconds();

// Sleeps the calling thread for the given milliseconds (1 ms resolution).
void Delay(int milliseconds);
// Sleeps the calling thread until the clock reads `microseconds` (at once when it has
// passed): a loop that sleeps to fixed deadlines keeps its pace whatever its work costs.
void SleepUntilMicroseconds(int64_t microseconds);

struct DateTime {
  int Year = 0;    // four digits
  int Month = 0;   // 1..12
  int Day = 0;     // 1..31
  int Hour = 0;    // 0..23
  int Minute = 0;
  int Second = 0;
};

// The local date and time now.
DateTime LocalDateTime();

// ---- files and folders (paths relative to the working folder) ----

// Reads a text file into lines. A line ends at CR, LF, CR LF or NUL; the line ends are
// not kept; a last line without an end is still a line; nothing follows a final end.
// Returns false (and no lines) when the file cannot be opened.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);
// The same over text already in memory.
void SplitTextLines(std::string_view bytes, std::vector<std::string>& lines);

// The lines of text already in memory, by the same rule as ReadTextLines; each line is
// a view into `bytes`.
std::vector<std::string_view> SplitTextLines(std::string_view bytes);

// Reads a whole file. Returns false when it cannot be opened.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// Reads a whole file of at most `limit` bytes. A longer one gives TooLarge and no bytes:
// a file is refused by its size before anything is read, and a device or a file that
// grows meanwhile is read no further than the limit.
enum class FileRead { Done, CannotOpen, TooLarge };
FileRead ReadFileBytesUpTo(const std::string& path, std::string& bytes, size_t limit);

// Replaces a file in one step: the bytes go to a temporary file in the same folder,
// which is flushed to disk and renamed over the target. The target is never missing or
// half-written; on failure it is left as it was and the temporary file is removed. A
// file replaced keeps its mode.
bool WriteFileReplacing(const std::string& path, std::string_view bytes);

// Rewrites a file the user keeps, as WriteFileReplacing does, only when the file itself
// may be written: one made read-only (no write permission for anyone, or none for this
// user) is left as it is and gives false, LastFileError telling why.
bool RewriteFile(const std::string& path, std::string_view bytes);

// Writes a new file that never takes the place of another. The bytes go whole to a
// temporary file in `folder`, flushed to disk, which then takes the first of the names
// nameFor(0), nameFor(1), ... that nothing in the folder holds: a name held by a file of
// any program, by a folder or by a link, even one made while the bytes were written, is
// passed over for the next; an empty name ends the list. `name` gets the name taken.
// On a file system that can neither rename without replacing nor link (network shares,
// some FUSE mounts), the name is created exclusively instead and the bytes are written
// into it, which never replaces either. On failure nothing is left behind, and
// LastFileError tells why.
enum class NewFileResult { Written, NoNameFree, Failed };
NewFileResult WriteNewFile(const std::string& folder, std::string_view bytes,
                           const std::function<std::string(int)>& nameFor, std::string& name);

// The system's text for why the last failed file write or read of this thread failed
// ("No space left on device", "Permission denied", "Read-only file system" ...).
std::string LastFileError();

// The temporary files of WriteFileReplacing and WriteNewFile are named ".zolt-" + six letters or digits +
// ".tmp", so that no scan of a folder for the program's own files counts one. One left
// behind by a program ended in the middle of a write is removed by
// RemoveLeftoverTemporaries, once it has not been written to for an hour: a temporary
// file younger than that may be one another running program is writing.
bool IsTemporaryFileName(const std::string& name);
void RemoveLeftoverTemporaries(const std::string& folder);

// A text that differs for every version of the file at `path`: it changes when the file
// is written or replaced (its device, inode, size and time of last change); empty when
// there is no file.
std::string FileVersion(const std::string& path);

// ---- file-system faults, for tests ----
//
// Makes the writes into one folder meet the faults of a poorer or fuller file system: a
// rename that cannot refuse to replace (it fails as on a file system without one), no
// hard links, a full disk (every write fails with "No space left on device"). 0 clears
// them. Only tests set them.
enum FileFault : unsigned { FaultNoRenameNoReplace = 1, FaultNoHardLink = 2, FaultDiskFull = 4 };
void SetFileFaults(const std::string& folder, unsigned faults);

// Appends bytes to a file, creating it when absent.
bool AppendToFile(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);    // a file (not a folder) exists at path
bool FolderExists(const std::string& path);
// Whether two paths lead to the same file or folder, both existing.
bool SamePlace(const std::string& a, const std::string& b);
// Makes a folder and any missing folders above it; true when the folder exists afterwards.
bool MakeFolder(const std::string& path);
bool DeleteFile(const std::string& path);
// Renames a file, replacing the target in one step when it exists.
bool RenameFile(const std::string& from, const std::string& to);

struct FolderEntry {
  std::string Name;
  bool IsFolder = false;
};

// Lists a folder's entries ("." and ".." left out). A missing folder gives no entries.
std::vector<FolderEntry> ListFolder(const std::string& path);

// Absolute path of the folder that holds the running program, ending in "/".
std::string ProgramFolder();

// Hands the heap's free memory back to the system. A long file held in memory while it
// is read or written leaves tens of megabytes free in the heap, which would otherwise
// stay with the program.
void ReleaseFreedMemory();

// ---- serial ports ----
//
// A port is opened by the name "COM" followed by a number. The name resolves to the
// entry "ports/COM<n>" of the working folder when it exists (normally a symbolic link to
// a device), otherwise to the n-th USB serial device of the system (/dev/ttyACM* then
// /dev/ttyUSB*, each in numeric order). Ports are opened raw, 8N1, non-blocking,
// exclusively and without becoming the controlling terminal.
//
// A port whose device vanished (unplugged, or the other end of a pseudo-terminal
// closed) counts as no longer open. Every call is safe against a close from another
// thread: nothing reads or writes a closed or reused descriptor.

constexpr int MaxSerialPorts = 64;

// Resolves "COM<n>" to a device path as described above; empty when nothing matches.
std::string ResolveSerialPortName(const std::string& name);

// Opens port number `port` (0..MaxSerialPorts-1) on the named device at the given baud
// rate, 8 data bits, no parity, 1 stop bit, no handshake. An open port of the same
// number is closed first. A name starting with "/" is taken as a device path as it
// stands. Returns false on failure (LastSerialError tells why), among others when the
// device is already open exclusively (by this or another program).
bool OpenSerialPort(int port, const std::string& name, int baud);
// Closes the port. Bytes still kept, or held by the driver for the device, are dropped
// so that a device that stopped reading cannot hold the close up: drain first to send
// them.
void CloseSerialPort(int port);
bool IsSerialPortOpen(int port);
// Bytes waiting to be read; 0 when the port is not open.
int SerialBytesWaiting(int port);
// Reads at most `count` bytes that are already waiting; returns the number read.
int ReadSerialPort(int port, void* buffer, int count);
// Waits at most `timeoutMs` for bytes to read, returning early when bytes wait or the
// device hangs up; true when bytes wait. Returns false at once when the port is not
// open. Other calls on the port, a close included, do not wait for it.
bool WaitSerialReadable(int port, int timeoutMs);
// Hands the bytes to the port without waiting for the device. What the driver does not
// take at once is kept, in order, behind any bytes kept before, and is sent on by later
// calls (SendKeptSerialBytes, DrainSerialOutput, the next write), so a device that stops
// reading holds no caller up. Returns `count` when the bytes were taken on, 0 when the
// port is not open, failed, would keep more than MaxKeptSerialBytes, or once the
// emergency block was written.
int WriteSerialPort(int port, const void* data, int count);
constexpr int MaxKeptSerialBytes = 65536;
// Sends on what the driver takes now of the kept bytes; returns how many are still kept
// (0 when the port is not open).
int SendKeptSerialBytes(int port);
// Waits at most `timeoutMs` until every byte written has left: none kept and none left
// in the driver's queue for the device. True when so; false at once when the port is not
// open. The port's mutex is let go between short waits.
bool DrainSerialOutput(int port, int timeoutMs);
// The operating system's text for the last failed serial call of this thread.
std::string LastSerialError();

// ---- the emergency block ----
//
// A block prepared in advance for an open serial port, that leaves the instrument behind
// it safe. It is written to the port, with nothing else in between, when the program is
// about to end in a way that gives it no chance to do so itself: by the fault handler
// before the crash report, by a signal that ends the program at once, and when the
// display is lost or reports an error. Keep it current: arm it again whenever what it must
// say changes, and disarm it before the port is closed.

constexpr int MaxEmergencyBlockBytes = 512;

// Keeps a copy of the block for port number `port`, in place of the one kept before. A
// port that is not open, or a block that is empty or longer than MaxEmergencyBlockBytes,
// leaves none kept. Safe while another thread writes the block.
void ArmEmergencyBlock(int port, const void* bytes, int count);
void DisarmEmergencyBlock();
// Writes the kept block to its port, waiting at most half a second for the port to take
// it; when it does not, what the driver still holds for the device (older than the block,
// which supersedes it) is dropped and the block written again. Nothing when none is kept
// or the port has been closed since. From the call on, no serial port takes another byte
// (writes fail, kept bytes are dropped; reading goes on): nothing any thread still sends
// can follow the block and undo it. A call while another thread writes it waits for that
// write instead. Async-signal-safe.
void WriteEmergencyBlock();

// ---- run-time libraries ----

constexpr int MaxLibraries = 32;

// Loads a shared library under number `library`: first from the program's folder,
// then by the system's search path. Returns false when neither loads.
bool OpenLibrary(int library, const std::string& fileName);
void CloseLibrary(int library);
bool IsLibrary(int library);
// Looks a function up by name in a loaded library; nullptr when absent.
void* LibraryFunction(int library, const char* name);

// ---- network server ----

constexpr int MaxNetworkServers = 32;

// Opens a non-blocking TCP listening socket (IPv4) under number `server`, bound to the
// loopback interface only, so that nothing on the network can reach it. Nothing is
// accepted on it; it stays open until closed or the process ends. Returns false on
// failure (a port in use, say); LastNetworkError tells why.
bool OpenNetworkServer(int server, int port, int backlog);
void CloseNetworkServer(int server);
bool IsNetworkServer(int server);
// The operating system's text for the last failed OpenNetworkServer of this thread.
std::string LastNetworkError();

// ---- fault handler ----
//
// One process-wide handler for faults in any thread (SIGSEGV, SIGBUS, SIGILL, SIGFPE,
// SIGABRT). It runs on an alternate stack, writes the emergency block before anything
// else, and passes a FaultInfo to the callback, which must only use async-signal-safe
// calls: the Safe* helpers below, fixed buffers, no allocation. The callback never
// returns; it ends with EndProcessAfterFault.
//
// The handler covers every thread. A thread that should survive even a stack overflow
// calls PrepareThreadForFaults first thing: it gives the thread its own alternate stack
// (InstallFaultHandler does so for the thread that installs the handler). Without one,
// the handler runs on the thread's own stack, which is enough for every other fault.

struct FaultInfo {
  const char* Description = "";   // the fault's description
  int32_t Code = 0;               // access violations report -1073741819
  uint64_t CodeAddress = 0;       // address of the faulting instruction
  bool HasTargetAddress = false;  // true for access violations
  uint64_t TargetAddress = 0;     // the address that was accessed
  // Low 32 bits of RAX, RBX, RCX, RDX, RBP, RSI, RDI, RSP, as signed values.
  int32_t Registers[8] = {};
  bool HasSourcePosition = false;  // true when debug information gave a position
  int SourceLine = 0;
  char SourceFile[256] = {};
};

using FaultCallback = void (*)(const FaultInfo& fault);

// Also ignores SIGXFSZ, so that a write beyond the file-size limit fails (and its caller
// reports it) rather than ending the program.
void InstallFaultHandler(FaultCallback callback);
// Gives the calling thread an alternate signal stack for the fault handler; freed when
// the thread ends. Calling it again in the same thread does nothing.
void PrepareThreadForFaults();

// ---- termination signals ----

// Makes SIGTERM, SIGINT and SIGHUP ask the program to end instead of ending it at once,
// so that it leaves the instrument safe first; the same signal again ends it at once.
// Every other signal that ends the program at once and that the program does not use
// (SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO, SIGPWR,
// SIGSYS, SIGTRAP, SIGSTKFLT and the real-time signals), and the second stop signal, first
// write the emergency block and then end the program as the signal does by default. A
// signal that someone else handles or ignores (a sanitizer, the program's parent) is left
// as it is. Forgets a stop signal noted before.
void WatchStopSignals();
// The termination signal received since WatchStopSignals, 0 when none came.
int StopSignalReceived();

// Ends the process at once with `status` once standard output and error are flushed: no
// exit handler or destructor runs after it, so a thread held up in a call that cannot be
// cut short ends with the process and never meets a record destroyed under it.
[[noreturn]] void EndProcessAtOnce(int status);

// Async-signal-safe helpers for the fault callback.
int SafeOpenForAppend(const char* path);  // -1 when it cannot be opened
void SafeWrite(int fd, const char* data, int length);
void SafeClose(int fd);
// The local date and time, from the real-time clock and the time zone's offsets as
// they were worked out when the handler was installed (two years ahead, daylight
// saving changes included).
DateTime SafeLocalDateTime();
// Shows a message in a separate small program (the crash-report viewer beside the
// program) and waits until it is closed. Falls back to standard error without a display.
void SafeShowMessage(const char* title, const char* text);
[[noreturn]] void EndProcessAfterFault();

}  // namespace zolt::platform
