// The curve tracer gives up its serial port: the disconnect of the run phases, with the
// reader joined before the port goes, so that the slot can be reused at once.
#include "tracer/link_release.h"

#include <mutex>

#include "link/control_block.h"
#include "link/link_state.h"
#include "platform/system.h"
#include "tracer/run_state.h"

namespace zolt::tracer {

void ReleaseInstrumentLink() {
  constexpr int DisconnectPauseMs = 100;
  std::lock_guard<std::mutex> lock(link::InstrumentMutex);
  // The reader waiting for the mutex gives up once told to stop, so it is joined here
  // and never meets the port closed or another port in its slot.
  link::StopLinkThread();
  RunControlRecord& run = RunControl;
  if (link::LinkState.Connected == 1) {
    run.CommsEnable = "Off";
    run.SweepCommand = "Stop";
    run.HighVoltageCommand = "Stop";
    link::SendControlBlock(0);
    platform::Delay(DisconnectPauseMs);
  }
  link::CloseInstrumentComPort();
  run.RunPhase = 0;
  run.HighVoltageOn = 0;
}

}  // namespace zolt::tracer
