// Giving the instrument's serial port up to another user of its slot (the settings
// window's port scan): the curve tracer disconnects as if the user had asked.
//
// Main thread only.
#pragma once

namespace zolt::tracer {

// Under the InstrumentMutex: stops and joins the reader thread, sends the block with the
// link bit off and the high voltage and sweep stopped (when connected), pauses 100 ms,
// closes the port and leaves the run in phase 0 ("Disconnected"). Nothing is saved.
void ReleaseInstrumentLink();

}  // namespace zolt::tracer
