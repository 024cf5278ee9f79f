// Curve-tracer simulator, devices under test: simple physical models of the parts the
// simulator can hold in its socket, and the solver that finds the operating point of
// the test circuit around them.
//
// The circuit: the collector supply drives the collector terminal through the series
// resistor of the selected range; a shunt across collector and emitter stands for the
// voltage sensing. The base/gate terminal is fed by a current source or by a voltage
// source behind a resistor. The emitter/source is at 0 V.
//
// Sections: device kinds; drive and operating point; terminal currents; the solver.
#pragma once

#include <string>

namespace zolt::kvrsim {

// ---- device kinds ----

enum class DeviceKind {
  Npn,       // small-signal NPN transistor (Ebers-Moll with Early effect)
  Pnp,       // its complement
  NMosfet,   // N-channel enhancement MOSFET (square law, channel-length modulation)
  PMosfet,   // its complement
  Diode,     // silicon diode, anode on the collector terminal (Shockley)
  Resistor,  // 1 kohm between collector and emitter
  Open,      // empty socket
};

// "npn", "pnp", "nmos", "pmos", "diode", "resistor", "open".
const char* DeviceName(DeviceKind kind);
bool DeviceFromName(const std::string& name, DeviceKind& kind);
// One line per device for the help text, each indented by `indent` blanks.
std::string DeviceList(int indent);

// ---- drive and operating point ----

constexpr double BaseComplianceVolts = 12.0;  // the base/gate source's output limit

struct BaseDrive {
  bool currentMode = true;   // current source, or voltage source behind sourceOhms
  double level = 0.0;        // amperes or volts
  double sourceOhms = 270.0;
};

struct OperatingPoint {
  double collectorVolts = 0.0;  // collector terminal to emitter
  double collectorAmps = 0.0;   // through the series resistor: device plus shunt
  double baseVolts = 0.0;       // base/gate terminal to emitter
};

// ---- terminal currents ----

struct TerminalCurrents {
  double collector = 0.0;  // into the collector/drain/anode terminal
  double base = 0.0;       // into the base/gate terminal
};

TerminalCurrents DeviceCurrents(DeviceKind kind, double vce, double vbe);

// ---- the solver ----

// The operating point with `supplyVolts` behind `seriesOhms` (an open supply is a very
// large resistance) and `shuntOhms` across the device.
OperatingPoint SolveCircuit(DeviceKind kind, double supplyVolts, double seriesOhms,
                            double shuntOhms, const BaseDrive& drive);

}  // namespace zolt::kvrsim
