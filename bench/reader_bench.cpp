// The curve tracer's reader thread against a pseudo-terminal fed with status frames.
//
// Burst: 4,000 frames written as fast as the reader takes them; the figure is the frames
// decoded per second (target 5,000 or more). Paced: one frame a millisecond, as the
// instrument streams at 1 kHz; the counter backlog_frames is what was still undecoded
// when the last frame had been written (target: no more than one batch, the frames of
// ReaderBatchMicroseconds: a fast stream is taken in batches).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "frame/settings.h"
#include "link/link_state.h"
#include "link/status_reader.h"
#include "platform/system.h"
#include "support/frame_bytes.h"
#include "support/pty_link.h"
#include "support/temp_folder.h"
#include "tracer/run_state.h"

namespace zolt::link {
namespace {

constexpr int Ramping = 2;

// Frames decoded since the last reset: every ramping frame after a ramping one is a point.
int32_t Decoded() {
  std::lock_guard lock(InstrumentMutex);
  return tracer::RunControl.PointIndex + 1;
}

void ResetCount() {
  std::lock_guard lock(InstrumentMutex);
  tracer::RunControl.PreviousRunState = "Ramping";
  tracer::RunControl.PointIndex = -1;
}

// A connected port with a running reader for the whole benchmark.
struct ReaderOnPty {
  testing::TempFolder folder;
  testing::PtyLink pty{3};
  ReaderOnPty() {
    frame::AppSettings.ComPort = 3;
    OpenInstrumentComPort();
    StartSerialReaderThread();
  }
  ~ReaderOnPty() {
    StopLinkThread();
    CloseInstrumentComPort();
  }
};

void WaitUntilDecoded(int32_t count, int timeoutMs) {
  const int64_t deadline = platform::ElapsedMilliseconds() + timeoutMs;
  while (Decoded() < count && platform::ElapsedMilliseconds() < deadline) platform::Delay(1);
}

void BM_ReaderBurst(benchmark::State& state) {
  ReaderOnPty reader;
  constexpr int Frames = 4000;
  constexpr int Chunk = 64;  // frames a write; at most two chunks wait, so the port never fills
  std::vector<uint8_t> chunk;
  for (int i = 0; i < Chunk; ++i) {
    const std::vector<uint8_t> frame = testing::FrameBytes(Ramping, 0, i);
    chunk.insert(chunk.end(), frame.begin(), frame.end());
  }
  for (auto _ : state) {
    ResetCount();
    for (int sent = 0; sent < Frames;) {
      if (sent - Decoded() > Chunk) {
        platform::Delay(1);
        continue;
      }
      reader.pty.Write(chunk);
      sent += Chunk;
    }
    WaitUntilDecoded(Frames / Chunk * Chunk, 30000);
  }
  state.SetItemsProcessed(state.iterations() * (Frames / Chunk * Chunk));
}
BENCHMARK(BM_ReaderBurst)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ReaderPaced1kHz(benchmark::State& state) {
  ReaderOnPty reader;
  constexpr int Frames = 2000;
  const std::vector<uint8_t> frame = testing::FrameBytes(Ramping);
  double backlog = 0.0;
  for (auto _ : state) {
    ResetCount();
    const int64_t start = platform::ElapsedMilliseconds();
    for (int i = 0; i < Frames; ++i) {
      while (platform::ElapsedMilliseconds() < start + i) {
      }
      reader.pty.Write(frame);
    }
    backlog += Frames - Decoded();
    WaitUntilDecoded(Frames, 30000);
  }
  state.counters["backlog_frames"] = backlog / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReaderPaced1kHz)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace zolt::link

BENCHMARK_MAIN();
