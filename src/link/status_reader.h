// The curve tracer's reader thread: polls the instrument, watches the link and decodes its
// status frames into the live readings, the run state, the measured points and the
// calibration stream.
//
// Every pass of the thread holds the InstrumentMutex from the poll to the end of the
// frames it read, and waits for bytes without it. StatusReadings: the conversion inputs
// are atomics written by the main thread at the start of each turn; the results are
// written here under the mutex and read by the main thread under it.
#pragma once

#include <atomic>
#include <cstdint>

#include "link/wire.h"

namespace zolt::link {

constexpr int LinkTimeoutMs = 2000;  // no good frame for longer: the link is lost
constexpr int ReaderWaitMs = 20;       // longest wait for bytes before the reader looks round
constexpr int64_t ReaderBatchMicroseconds = 8000;  // shortest gap between looks at a fast stream
constexpr int ReadBatchBytes = 4096;   // most bytes taken under the mutex in one pass

struct StatusReadingsRecord {
  // Inputs: sample counts of the read windows (0 is used, and stored back, as 1), the
  // collector current range whose pair converts the current, and the conversion pairs.
  std::atomic<int32_t> VcSampleCount{1};
  std::atomic<int32_t> VrSampleCount{1};
  std::atomic<int32_t> VbSampleCount{1};
  std::atomic<int32_t> IcSampleCount{1};
  std::atomic<int32_t> ReadingCurrentRange{0};
  std::atomic<double> VcGain{1.0};  // collector voltage, also used for the resistor voltage
  std::atomic<double> VcOffset{0.0};
  std::atomic<double> VbGain{1.0};
  std::atomic<double> VbOffset{0.0};
  std::atomic<double> IcGain[4] = {1.0, 1.0, 1.0, 1.0};
  std::atomic<double> IcOffset[4] = {0.0, 0.0, 0.0, 0.0};

  // Results (volts and amperes).
  double LiveVc = 0.0;
  double LiveVr = 0.0;
  double LiveVb = 0.0;
  double LiveIc = 0.0;
};

inline StatusReadingsRecord StatusReadings;

// Starts the reader thread unless one is running and not told to stop. A reader told to
// stop is joined first, so a connect right after a disconnect gets a working reader.
// Returns 1 when a reader is running afterwards, else 0. Main thread.
int32_t StartSerialReaderThread();

// The thread body: until StopThreads is set, wait for bytes as paced below (at most
// ReaderWaitMs, the mutex free), then take the mutex, send on the bytes the instrument
// has not taken yet (or else poll), read every whole frame waiting, watch the link, and
// release it. The parameter is not used.
int SerialReaderThread(void* unused);

// When the reader looks at the port. A stream slower than one frame per
// ReaderBatchMicroseconds wakes the reader once a frame, as soon as the frame is there. A
// faster one is taken in batches: after a wake that found bytes within the gap of the wake
// before, the reader sleeps out the gap before it looks again, and keeps doing so while
// bytes are already waiting when it looks; a read that filled its room is followed by the
// next at once. Each wake costs far more than the frames it decodes.
struct ReaderPacingRecord {
  int64_t LastWake = 0;  // microseconds, when the last look ended
  bool Batching = false;
};

// When the next look may begin: at once, or after the gap while batching.
int64_t ReaderLookTime(const ReaderPacingRecord& pacing);

// Notes a look that ended at `woke` (microseconds) and whether it found bytes;
// `batchWaiting` says it began after the gap with bytes already waiting.
void NoteReaderWake(ReaderPacingRecord& pacing, int64_t woke, bool bytesWaiting, bool batchWaiting);

// When connected and more than 2000 ms have passed since the last good frame (or the
// open), the link is lost: the block that stops the sweep and switches the high voltage
// off goes out, with LastBlockDrainMs to leave the port (LostLinkLastBlock says whether
// it did), and the port is closed. Mutex held.
void CheckLinkTimeout();
void CheckLinkTimeout(int64_t now);

// Reads the bytes waiting (at most ReadBatchBytes) and acts on every whole status frame
// among them, finding the next frame by its checksum after a bad one; a frame's start
// is kept for the next read. True when the read filled its room, so that more bytes may
// be waiting. Mutex held.
bool ReadStatusFrames();
bool ReadStatusFrames(int64_t now);

// Acts on the bytes held in RxBuffer (CtHeldBytes of them): every whole frame, found by
// its checksum, and keeps the rest. Mutex held.
void TakeStatusFrames(int64_t now);

// Steps 'a good frame' makes: readings, run state, step and point edges, the point store,
// the calibration word and NewFrame. Mutex held.
void ApplyStatusFrame(const StatusFrame& frame, int64_t now);

}  // namespace zolt::link
