// The power analyser's per-frame handler: once per main-loop turn it re-lays out the
// screen when asked, runs the pointer step, advances the connection by one step, acts on
// the clicked zone, serves one control event of the power-analyser window, refreshes
// that window's live readings, applies changed ranges, synthesises a demonstration block
// when no instrument is connected, and hands at most one sample block to the analysis.
//
// Main thread only.
#pragma once

#include <cstdint>

namespace zolt::analyser {

// The demonstration clock: the ms clock value of the last synthesised block.
inline int64_t PmxSynthClock = 0;
constexpr int64_t PmxSynthIntervalMs = 100;

void HandlePowerAnalyserFrame();

// The parts of one turn, in turn order (each also used alone by the tests).
void ActOnClickedZone();
void ServeWindowEvent();
void RefreshLiveReadings();
void RunDemonstrationClock();
void HandOverNextBlock();

// What the connection steps call (link::PmxLinkHooks). A stream about to start is
// analysed afresh: the analysis starts again, and the blocks not yet analysed are
// dropped and the ring cleared, so nothing of an earlier signal reaches the new one's
// analysis (the synthesis switched on does the same). A link that ended leaves nothing
// it showed: the same fresh start (the waveform panes show no trace), the tiles back to
// their start texts, and the screen redrawn.
void PmxStreamStarting();
void PmxLinkEnded();

}  // namespace zolt::analyser
