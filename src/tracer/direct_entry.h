// The direct-entry window: the collector supply's maximum voltage and current and the
// step generator's step size and offset typed in instead of stepped along their
// ladders, each with a "Use Direct" switch. The typed values and switches are kept in
// TestSetup (tracer/setup.h); RecalculateTestSetup uses them. Main thread only.
#pragma once

namespace zolt::tracer {

constexpr int DirectEntryWindow = 302;

// Opens the window and serves it until it closes (its close box, or another window or
// application taking the activation); then takes the four typed values. A window that
// cannot open is reported and changes nothing.
void OpenDirectEntryWindow();

}  // namespace zolt::tracer
