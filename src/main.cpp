// ZOLT: the desktop control program for the curve tracer and the power analyser.
// It reads no arguments and no environment: every file is found relative to the
// working folder.
#include "frame/app.h"
#include "tracer/run_phases.h"
#include "tracer/startup.h"

int main() {
  // The curve tracer's front end: its start-up, per-frame handler and drawing chain.
  // The power analyser's front end is not built; its models open an empty screen.
  zolt::frame::CurveTracerFrontEnd = {zolt::tracer::StartCurveTracer, zolt::tracer::HandleCurveTracerFrame,
                                      zolt::tracer::DrawCurveTracerScreen,
                                      zolt::tracer::CurveTracerScreenChanged};
  return zolt::frame::MainProgram();
}
