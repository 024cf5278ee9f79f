// Curve-tracer simulator, devices under test: models and the circuit solver.
#include "devices.h"

#include <algorithm>
#include <cmath>

namespace zolt::kvrsim {

// ---- device kinds ----

namespace {

struct DeviceRow {
  DeviceKind kind;
  const char* name;
  const char* description;
};

constexpr DeviceRow Devices[] = {
    {DeviceKind::Npn, "npn", "NPN transistor, beta about 180, Early voltage 90 V"},
    {DeviceKind::Pnp, "pnp", "PNP transistor, the NPN's complement"},
    {DeviceKind::NMosfet, "nmos", "N-channel enhancement MOSFET, threshold 2 V"},
    {DeviceKind::PMosfet, "pmos", "P-channel enhancement MOSFET, threshold -2 V"},
    {DeviceKind::Diode, "diode", "silicon diode, anode on the collector terminal"},
    {DeviceKind::Resistor, "resistor", "1 kohm resistor"},
    {DeviceKind::Open, "open", "empty socket"},
};

}  // namespace

const char* DeviceName(DeviceKind kind) {
  for (const DeviceRow& row : Devices) {
    if (row.kind == kind) return row.name;
  }
  return "?";
}

bool DeviceFromName(const std::string& name, DeviceKind& kind) {
  for (const DeviceRow& row : Devices) {
    if (name == row.name) {
      kind = row.kind;
      return true;
    }
  }
  return false;
}

std::string DeviceList(int indent) {
  std::string text;
  for (const DeviceRow& row : Devices) {
    text.append(static_cast<size_t>(indent), ' ');
    text += row.name;
    text.append(12 - std::string(row.name).size(), ' ');
    text += row.description;
    text += '\n';
  }
  return text;
}

// ---- terminal currents ----

namespace {

constexpr double ThermalVolts = 0.025852;  // kT/q at 300 K
constexpr double LeakageSiemens = 1e-12;   // insulated or unconnected terminals

// exp(v / vt), continued as a straight line beyond exp(40) so that the solver's wide
// brackets never overflow.
double JunctionExp(double volts, double vt) {
  double x = volts / vt;
  if (x > 40.0) return std::exp(40.0) * (1.0 + x - 40.0);
  return std::exp(x);
}

// Ebers-Moll transport model with the Early effect on the transport current.
TerminalCurrents NpnCurrents(double vce, double vbe) {
  constexpr double Is = 1e-14, BetaForward = 180.0, BetaReverse = 3.0, EarlyVolts = 90.0;
  double forward = JunctionExp(vbe, ThermalVolts) - 1.0;
  double reverse = JunctionExp(vbe - vce, ThermalVolts) - 1.0;
  double early = vce > 0.0 ? 1.0 + vce / EarlyVolts : 1.0;
  double transport = Is * (forward - reverse) * early;
  TerminalCurrents i;
  i.collector = transport - Is / BetaReverse * reverse;
  i.base = Is / BetaForward * forward + Is / BetaReverse * reverse;
  return i;
}

// Square law above threshold with a smooth sub-threshold tail, channel-length
// modulation, and the body diode from source to drain.
TerminalCurrents NMosfetCurrents(double vds, double vgs) {
  constexpr double Threshold = 2.0, K = 0.5, Lambda = 0.01;
  constexpr double Smoothing = 2.0 * 1.5 * ThermalVolts;
  constexpr double BodyIs = 1e-12, BodyN = 1.3;
  auto channel = [&](double gateSource, double drainSource) {
    double x = (gateSource - Threshold) / Smoothing;
    double overdrive = x > 30.0 ? gateSource - Threshold : Smoothing * std::log1p(std::exp(x));
    double ds = std::min(drainSource, overdrive);
    return K * (2.0 * overdrive * ds - ds * ds) * (1.0 + Lambda * drainSource);
  };
  TerminalCurrents i;
  i.collector = vds >= 0.0 ? channel(vgs, vds) : -channel(vgs - vds, -vds);
  i.collector -= BodyIs * (JunctionExp(-vds, BodyN * ThermalVolts) - 1.0);
  i.base = LeakageSiemens * vgs;
  return i;
}

TerminalCurrents DiodeCurrents(double v, double vbe) {
  constexpr double Is = 2e-9, N = 1.9;
  return {Is * (JunctionExp(v, N * ThermalVolts) - 1.0), LeakageSiemens * vbe};
}

TerminalCurrents Mirrored(TerminalCurrents (*model)(double, double), double vce, double vbe) {
  TerminalCurrents i = model(-vce, -vbe);
  return {-i.collector, -i.base};
}

}  // namespace

TerminalCurrents DeviceCurrents(DeviceKind kind, double vce, double vbe) {
  switch (kind) {
    case DeviceKind::Npn: return NpnCurrents(vce, vbe);
    case DeviceKind::Pnp: return Mirrored(NpnCurrents, vce, vbe);
    case DeviceKind::NMosfet: return NMosfetCurrents(vce, vbe);
    case DeviceKind::PMosfet: return Mirrored(NMosfetCurrents, vce, vbe);
    case DeviceKind::Diode: return DiodeCurrents(vce, vbe);
    case DeviceKind::Resistor: return {vce / 1000.0, LeakageSiemens * vbe};
    case DeviceKind::Open: return {0.0, LeakageSiemens * vbe};
  }
  return {};
}

// ---- the solver ----

namespace {

// Root of an increasing function on [low, high]; an end of the bracket when the root
// lies beyond it. Bisection narrows the bracket to a few tens of millivolts, where even
// a junction's exponential is gentle; then the Illinois variant of regula falsi
// converges in a few steps.
template <typename F>
double IncreasingRoot(F f, double low, double high) {
  double fLow = f(low), fHigh = f(high);
  if (fLow >= 0.0) return low;
  if (fHigh <= 0.0) return high;
  for (int i = 0; i < 200 && high - low > 0.02; ++i) {
    double mid = 0.5 * (low + high), fMid = f(mid);
    if (fMid < 0.0) {
      low = mid, fLow = fMid;
    } else {
      high = mid, fHigh = fMid;
    }
  }
  int kept = 0;  // the end that stayed put last step: -1 low, +1 high
  for (int i = 0; i < 100 && high - low > 1e-13 * (1.0 + std::abs(low) + std::abs(high)); ++i) {
    double x = (low * fHigh - high * fLow) / (fHigh - fLow);
    if (!(x > low && x < high)) x = 0.5 * (low + high);
    double fx = f(x);
    if (fx == 0.0) return x;
    if (fx < 0.0) {
      low = x, fLow = fx;
      if (kept == +1) fHigh *= 0.5;
      kept = +1;
    } else {
      high = x, fHigh = fx;
      if (kept == -1) fLow *= 0.5;
      kept = -1;
    }
  }
  return 0.5 * (low + high);
}

// The base/gate voltage for a given collector voltage: the device's base current meets
// what the source delivers. Both sides are monotonic in the base voltage.
double BaseVolts(DeviceKind kind, double vce, const BaseDrive& drive) {
  if (drive.currentMode) {
    auto excess = [&](double vbe) { return DeviceCurrents(kind, vce, vbe).base - drive.level; };
    return IncreasingRoot(excess, -BaseComplianceVolts, BaseComplianceVolts);
  }
  double source = std::clamp(drive.level, -BaseComplianceVolts, BaseComplianceVolts);
  double ohms = std::max(drive.sourceOhms, 1e-3);
  auto excess = [&](double vbe) {
    return DeviceCurrents(kind, vce, vbe).base - (source - vbe) / ohms;
  };
  return IncreasingRoot(excess, -BaseComplianceVolts, BaseComplianceVolts);
}

}  // namespace

OperatingPoint SolveCircuit(DeviceKind kind, double supplyVolts, double seriesOhms,
                            double shuntOhms, const BaseDrive& drive) {
  auto loopCurrent = [&](double vce) {
    double vbe = BaseVolts(kind, vce, drive);
    return DeviceCurrents(kind, vce, vbe).collector + vce / shuntOhms;
  };
  // Supply = terminal voltage + drop across the series resistor; increasing in vce.
  auto mismatch = [&](double vce) { return vce + seriesOhms * loopCurrent(vce) - supplyVolts; };
  double reach = std::abs(supplyVolts) + 2.0 * BaseComplianceVolts;
  OperatingPoint point;
  point.collectorVolts = IncreasingRoot(mismatch, -reach, reach);
  point.baseVolts = BaseVolts(kind, point.collectorVolts, drive);
  point.collectorAmps = DeviceCurrents(kind, point.collectorVolts, point.baseVolts).collector +
                        point.collectorVolts / shuntOhms;
  return point;
}

}  // namespace zolt::kvrsim
