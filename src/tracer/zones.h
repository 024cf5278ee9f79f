// Hot-zone ids of the curve tracer's main window: every painted control's id, named once
// here for the panels that register them and the control dispatch that acts on them.
//
// Panel headers register base + 8 to + 11 (title, settings mark, help mark, rest of the
// bar); value controls base + 1 to + 7; toggle bars base + 1 to base + segments; buttons
// and the run-status box their own id (screen/hot_zones.h).
#pragma once

#include <cstdint>

namespace zolt::tracer {

// ---- panel headers ----
constexpr int32_t ZoneCursorsPanel = 289;
constexpr int32_t ZoneGraphTitlePanel = 301;
constexpr int32_t ZoneTestGraphModePanel = 313;
constexpr int32_t ZoneConnectStatusPanel = 325;
constexpr int32_t ZoneCollectorSupplyPanel = 337;
constexpr int32_t ZoneStepGeneratorPanel = 349;
constexpr int32_t ZoneDisplayedResultsPanel = 361;
constexpr int32_t ZoneSweepLiveValuesPanel = 373;
constexpr int32_t ZoneKeyMeasurementPanel = 385;
constexpr int32_t ZoneSweepSettingsPanel = 397;

// ---- buttons ----
constexpr int32_t ZoneRunButton = 61;
constexpr int32_t ZoneHaltButton = 73;
constexpr int32_t ZoneConnectButton = 265;
constexpr int32_t ZoneComStatusButton = 277;
constexpr int32_t ZoneRunStatusBox = 625;
constexpr int32_t ZoneHighVoltageButton = 637;

// ---- value controls ----
constexpr int32_t ZoneTestConfigControl = 409;
constexpr int32_t ZoneMaxVoltageControl = 421;
constexpr int32_t ZoneMaxCurrentControl = 433;
constexpr int32_t ZoneStepSizeControl = 445;
constexpr int32_t ZoneOffsetControl = 457;
constexpr int32_t ZoneNumberOfStepsControl = 469;
constexpr int32_t ZoneSampleRunControl = 481;

// ---- device preset rows (six segments each) ----
constexpr int32_t ZoneDeviceRow = 493;  // NPN, PNP, NFET, PFET, DIODE, MORE
constexpr int32_t ZoneFetRow = 505;     // N-DEPL, P-DEPL, N-ENH, P-ENH, N-JFET, P-JFET
constexpr int32_t ZoneMoreRow = 517;    // SCR, OPTO, REG, three empty

// ---- graph cursor nudges: the ends of each cursor's label box ----
constexpr int32_t ZoneCursorXADown = 529;
constexpr int32_t ZoneCursorXAUp = 541;
constexpr int32_t ZoneCursorXBDown = 553;
constexpr int32_t ZoneCursorXBUp = 565;
constexpr int32_t ZoneCursorYAUp = 577;    // the top end raises a Y cursor
constexpr int32_t ZoneCursorYADown = 589;
constexpr int32_t ZoneCursorYBUp = 601;
constexpr int32_t ZoneCursorYBDown = 613;

// ---- cursor panel toggle bars (five segments each) ----
constexpr int32_t ZoneXCursorBar = 649;  // XA, XB, SYNC, ZERO, SLOPE
constexpr int32_t ZoneYCursorBar = 757;  // YA, YB, SYNC, ZERO, (empty)

}  // namespace zolt::tracer
