// The point quantities a test configuration names for its axes and its curve parameter:
// "vr", "vb", "vc", "ir", "ib", "ic", "tib", "tvb" and "hfe" (any letter case), each one
// field of a displayed point. Main thread only.
#pragma once

#include <string>

#include "tracer/run_state.h"

namespace zolt::tracer {

using PointField = double SweepPoint::*;

// The field a quantity name selects; nullptr for a name outside the nine.
PointField PointFieldOf(const std::string& name);

// The value of a point's field; 0 for a name outside the nine.
inline double PointValue(const SweepPoint& point, PointField field) {
  return field != nullptr ? point.*field : 0.0;
}

// The kind of value a quantity is, as the value formatting names it: "volts", "amps",
// "hfe", or empty for a name outside the nine.
std::string QuantityKind(const std::string& name);

}  // namespace zolt::tracer
