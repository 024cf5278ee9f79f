// Control dispatch: turns the zone pressed in this pass into its action. Main thread,
// without the InstrumentMutex.
#pragma once

namespace zolt::tracer {

void ControlDispatch();

}  // namespace zolt::tracer
