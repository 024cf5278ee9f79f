// ZOLT: the desktop control program for the curve tracer and the power analyser.
// It reads no arguments and no environment: every file is found relative to the
// working folder.
#include "analyser/handler.h"
#include "analyser/screen.h"
#include "analyser/startup.h"
#include "frame/app.h"
#include "tracer/run_phases.h"
#include "tracer/startup.h"

int main() {
  // Each front end: its start-up, per-frame handler, drawing chain and, for the curve
  // tracer, the test whether its screen changed.
  zolt::frame::CurveTracerFrontEnd = {zolt::tracer::StartCurveTracer, zolt::tracer::HandleCurveTracerFrame,
                                      zolt::tracer::DrawCurveTracerScreen,
                                      zolt::tracer::CurveTracerScreenChanged};
  zolt::frame::PowerAnalyserFrontEnd = {zolt::analyser::StartPowerAnalyser,
                                        zolt::analyser::HandlePowerAnalyserFrame,
                                        zolt::analyser::DrawPowerAnalyserScreen};
  return zolt::frame::MainProgram();
}
