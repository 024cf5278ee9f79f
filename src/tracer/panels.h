// Panel rendering: the canvas re-created at window size and the three columns painted,
// with the left column's control panels. Main thread only (the drawing chain).
#pragma once

#include <cstdint>
#include <string>

#include "platform/draw.h"

namespace zolt::tracer {

// Collector max voltage, max current, resistor, collector pulse, base/gate pulse, sample
// rate, test configuration number.
inline std::string SetupLegendTexts[7];

void RenderPanelImage();
// The same painting, with the middle column's unchanged layers copied back instead of
// painted again (tracer/graph_layers.h).
void RenderPanelImageKeepingLayers();
void DrawControlPanels(int32_t x, int32_t y, int32_t w, int32_t h, int32_t gap);
// The run-status box alone, where the last DrawControlPanels put it; and whether its
// last painting left nothing of the box outside that place (long texts can reach out of
// it, and a whole box painted over the last leaves what that one put there).
void DrawRunStatusBox();
bool RunStatusBoxStayedInside();
// The box painted over its last painting, which the canvas still holds: only what
// changed, with the same pixels as DrawRunStatusBox.
void RedrawRunStatusBox();
void BuildSetupLegendTexts();

}  // namespace zolt::tracer
