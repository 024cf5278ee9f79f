// TEMPORARY stand-in for the main layout, which the curve tracer's screen side builds;
// weak, so the real one wins as soon as it is linked. Delete this file then.
#include "tracer/startup.h"

namespace zolt::tracer {
__attribute__((weak)) void ComputeMainLayout(int32_t) {}
}  // namespace zolt::tracer
