// The instrument link's shared state and its transports.
//
// LinkState is shared by the main thread and the one reader thread (curve tracer or
// power analyser). `Connected`, `StopThreads`, the two times and the thread's end flag
// are atomics, read by either thread without a lock. On the curve-tracer side every
// other field the reader touches (buffers, resync counters) is used only under the
// InstrumentMutex; the power analyser's reader is the only user of its own fields.
// LinkThread itself is started, stopped and joined by the main thread only.
//
// Sections: the record; the transports (COM port 27, D2XX USB device); the link thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace zolt::link {

constexpr int InstrumentSerialPort = 27;  // serial port number of the curve tracer's link
constexpr int UsbLibraryNumber = 26;      // library number of the D2XX library
constexpr int InstrumentBaud = 115200;
constexpr int LinkBufferBytes = 16384;
constexpr int EepromWordBufferBytes = 8192;

struct LinkStateRecord {
  std::atomic<int32_t> Connected{0};    // 1 while a transport is open
  void* UsbHandle = nullptr;            // the D2XX handle from FT_Open
  uint32_t UsbOpening = 0;              // counts the device's openings (under UsbDeviceMutex)
  std::atomic<int32_t> StopThreads{0};  // 1 tells the running reader to leave its loop
  std::thread LinkThread;               // the one reader thread (main thread only)
  std::atomic<int32_t> LinkThreadEnded{1};  // 1 once the reader's body has returned
  std::atomic<int64_t> LastPollTime{0};       // ms clock of the last poll request
  std::atomic<int64_t> LastGoodFrameTime{0};  // ms clock of the last good frame, or the open
  uint8_t TxBuffer[LinkBufferBytes] = {};     // register blocks from the main thread
  uint8_t RxBuffer[LinkBufferBytes] = {};     // frames read by the reader thread
  uint16_t EepromWordBuffer[EepromWordBufferBytes / 2] = {};  // receives one EEPROM word
  // Curve tracer: frames that failed their check. (The power analyser's comms thread
  // keeps its own row of bad frames, PmxReceiveState in pmx_link.h.)
  int32_t BadFrameCount = 0;
  int32_t CtHeldBytes = 0;    // status-frame bytes kept at the start of RxBuffer
  int32_t CtSkippedBytes = 0; // bytes passed over since the last good status frame
  // Curve tracer: how the reader let go of a link it found lost (LostLinkBlock), read and
  // set back to LostLinkNoBlock by the run phases. InstrumentMutex held.
  int32_t LostLinkLastBlock = 0;
};

// The last block the reader sends to a lost link before it closes the port: it left the
// port whole, or the instrument did not take it all; none when the device had vanished.
enum LostLinkBlock : int32_t { LostLinkNoBlock = 0, LostLinkBlockSent = 1, LostLinkBlockNotTaken = 2 };

inline LinkStateRecord LinkState;

// Guards the curve tracer's run state, its registers, the COM port's use and the
// calibration receiver. Never nested.
inline std::mutex InstrumentMutex;

// ---- transports ----

// Opens the power analyser's USB device through the D2XX library at the given baud.
// Sets Connected to 1 on success; failures are reported.
void OpenUsbLink(int32_t baud);
// Closes the USB device when connected; otherwise reports that comms are not running.
void CloseUsbLink();

// Opens serial port 27 on "COM" + the COM port setting at 115200 baud, 8N1, and arms the
// block that switches the high voltage off (built from the register image). Returns 1 on
// success (Connected 1, poll and frame times now), else 0 with a report. InstrumentMutex
// held, like every user of the register image.
int32_t OpenInstrumentComPort();
// Closes serial port 27 when open and clears Connected in every case. What the
// instrument has not taken of the bytes sent is dropped.
void CloseInstrumentComPort();

// Longest wait for a last block (the one that switches the high voltage off) to leave the
// port before the port is closed, for an instrument that is slow to read.
constexpr int LastBlockDrainMs = 500;

// ---- the link thread ----

// Longest wait for a reader told to stop before it is given up on.
constexpr int LinkThreadStopWaitMs = 2000;

// Starts `body` as LinkThread: clears StopThreads and creates the thread. A thread still
// there (told to stop, ended, or running) is first stopped and joined, waiting at most
// LinkThreadStopWaitMs; if it does not end in that time nothing is created. Returns true
// when a thread was created. Main thread only.
bool StartLinkThread(int (*body)(void*));
// True while LinkThread exists and has not left its body.
bool LinkThreadRunning();
// Sets StopThreads and joins LinkThread, waiting at most `waitMs` for it to end.
// Returns true when no thread is left. Safe with or without the InstrumentMutex held:
// a reader waiting for the mutex gives up when told to stop. Main thread only.
bool StopLinkThread(int waitMs = LinkThreadStopWaitMs);

}  // namespace zolt::link
