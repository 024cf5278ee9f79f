// The curve tracer's per-frame handler and run phases: connect and disconnect, high
// voltage, one sweep per step, and the save of the finished run. Runs in the main
// thread once per main-loop turn; the phase step holds the InstrumentMutex.
#pragma once

#include <string>

namespace zolt::tracer {

// Live readout texts of the sweep / live values panel.
struct LiveReadoutRecord {
  std::string VcReadoutText, VrReadoutText, IcReadoutText, VbReadoutText;
  double SmoothedReadings[4] = {};  // Vc, Vr, Ic, Vb
  double RawReadingSums[4] = {};
};

inline LiveReadoutRecord LiveReadouts;

void HandleCurveTracerFrame();
// The curve tracer's shutdown, after the main loop: while connected, any sweep is stopped
// and the high voltage switched off, and the port is let go once the instrument reports
// it off (2 s at most after the block left; the log tells when it did not); then the
// reader is joined.
void StopCurveTracer();
// Gives the serial port up to another user of its slot (the settings window's port scan),
// as if the user had disconnected: the reader is stopped and joined first, then (when
// connected) the block with the link bit off and the high voltage and sweep stopped goes
// out, and once it has left the port and 100 ms more have passed the port is closed and
// the run left in phase 0. Nothing is saved.
void ReleaseInstrumentLink();
void CopyNewSweepPoints();
void FormatLiveReadouts();

}  // namespace zolt::tracer
