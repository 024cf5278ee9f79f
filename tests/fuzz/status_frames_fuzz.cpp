// Status frames from arbitrary bytes, arriving in reads of arbitrary lengths: the first
// byte of each piece gives its length.
#include <algorithm>
#include <cstring>

#include "fuzz_input.h"
#include "link/link_state.h"
#include "link/status_reader.h"
#include "tracer/run_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zolt::link;
  LinkState.CtHeldBytes = 0;
  LinkState.CtSkippedBytes = 0;
  zolt::tracer::RunControl.StepIndex = -1;
  zolt::tracer::RunControl.PointIndex = -1;
  for (size_t at = 0; at < size;) {
    const size_t piece = std::min<size_t>(data[at], size - at - 1);
    const size_t room = static_cast<size_t>(LinkBufferBytes - LinkState.CtHeldBytes);
    const size_t taken = std::min(piece, room);
    std::memcpy(LinkState.RxBuffer + LinkState.CtHeldBytes, data + at + 1, taken);
    LinkState.CtHeldBytes += static_cast<int32_t>(taken);
    TakeStatusFrames(0);
    if (LinkState.CtHeldBytes < 0 || LinkState.CtHeldBytes >= StatusFrameBytes) ::abort();
    at += piece + 1;
  }
  return 0;
}
