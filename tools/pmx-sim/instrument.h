// Power-analyser simulator, the instrument: its converter and calibration, the registers
// it is sent, and the stream of sample frames it sends.
//
// Registers: register 1 bit 16 starts the stream (and clearing it stops it); register 2
// selects the ranges, voltage index x 8 + current index + 192, indices 0..5 for
// 300/150/80/40/20/10 V and 10/5/2/1/0.5/0.25 A.
// The stream: 16,000 samples per second per channel, five of each in a 30-byte frame,
// paced by the clock from the moment the stream starts. The signal is a sine: voltage
// peak sin(2 pi f t), current peak sin(2 pi f t - phase), converted on the selected
// ranges. A side-channel block of 512 words runs one bit a frame, starting again every
// 8,192 frames with the stream's first frame.
// Faults: a bad check byte every N frames, bursts of K bad frames every N, one byte lost
// in frame K, silence after T ms, a stalled call, a device that vanishes (the last two in
// d2xx.cpp).
//
// Sections: converter and calibration; registers and packets; the stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "options.h"

namespace zolt::pmxsim {

// ---- converter and calibration ----

constexpr int RangeCount = 6;
extern const double VoltageRanges[RangeCount];  // volts, index 0..5
extern const double CurrentRanges[RangeCount];  // amperes
constexpr double CountsAtFullScale = 6000000.0;

// The converter's reading of a value on a range: a little gain error and offset of its
// own per range, rounded to an even count and clipped at the largest reading a frame can
// carry (PmxSampleMin, PmxSampleMax: about 1.4 times full scale).
int32_t VoltageReading(double volts, int range);
int32_t CurrentReading(double amperes, int range);

// The built-in calibration file: a date line and the 24 points, each the range's full
// scale and the converter's reading of it, lines ended by CR LF.
std::string DefaultCalibrationFile();

// Word `index` (0..511) of the side-channel block.
uint16_t SideChannelWord(int index);

// ---- registers and packets ----

constexpr int RegisterCount = 32;

struct Registers {
  uint32_t value[RegisterCount] = {};
  uint64_t writes = 0;
  uint64_t polls = 0;  // requests for register 0
  uint64_t badPackets = 0;
  std::vector<uint8_t> pending;  // bytes of a packet not yet complete
};

// Takes the bytes of one host write: whole 8-byte packets with a good checksum are
// applied; a bad one is counted and the reader slides on by one byte.
void TakeHostBytes(Registers& registers, const uint8_t* bytes, size_t count);

bool StreamEnabled(const Registers& registers);
int VoltageRangeIndex(const Registers& registers);
int CurrentRangeIndex(const Registers& registers);

// ---- the stream ----

constexpr int FramesPerSecond = 3200;
constexpr int SamplesPerSecond = 16000;
constexpr size_t QueueLimitBytes = 65536;  // older frames are lost when the host falls behind

struct Stream {
  bool running = false;
  int64_t startUs = 0;       // clock at the stream's start, microseconds
  uint64_t framesMade = 0;   // frames generated (sent or lost) since the start
  std::vector<uint8_t> queue;  // bytes waiting for the host
  size_t head = 0;             // first unread byte of queue
  bool stalled = false;        // the stream's one stalled call has been made
};

// Starts or stops the stream to follow register 1 (a start begins a fresh stream).
void FollowStreamEnable(Stream& stream, const Registers& registers, int64_t nowUs);
// Makes the frames due by `nowUs` and queues their bytes, faults applied.
void MakeDueFrames(Stream& stream, const Registers& registers, const Options& options,
                   int64_t nowUs);
size_t QueuedBytes(const Stream& stream);
// Moves up to `count` queued bytes out; returns the number moved.
size_t TakeQueuedBytes(Stream& stream, uint8_t* out, size_t count);

// The frame `index` of a stream (fault-free), on the given ranges.
std::vector<uint8_t> FrameBytes(uint64_t index, const Options& options, int voltageRange,
                                int currentRange);

}  // namespace zolt::pmxsim
