// Point quantities: the field and the kind of value each quantity name selects.
#include "tracer/quantities.h"

#include "frame/numbers.h"

namespace zolt::tracer {

PointField PointFieldOf(const std::string& name) {
  const std::string n = frame::ToLower(name);
  if (n == "vr") return &SweepPoint::VR_V;
  if (n == "vb") return &SweepPoint::VB_V;
  if (n == "vc") return &SweepPoint::VC_V;
  if (n == "ir") return &SweepPoint::IR_A;
  if (n == "ib") return &SweepPoint::IB_A;
  if (n == "ic") return &SweepPoint::IC_A;
  if (n == "tib") return &SweepPoint::TIB_A;
  if (n == "tvb") return &SweepPoint::TVB_V;
  if (n == "hfe") return &SweepPoint::HFE;
  return nullptr;
}

std::string QuantityKind(const std::string& name) {
  const std::string n = frame::ToLower(name);
  if (n == "vr" || n == "vb" || n == "vc" || n == "tvb") return "volts";
  if (n == "ir" || n == "ib" || n == "ic" || n == "tib") return "amps";
  if (n == "hfe") return "hfe";
  return "";
}

}  // namespace zolt::tracer
