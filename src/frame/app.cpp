#include "frame/app.h"

namespace zolt::frame {

int MainProgram() { return 0; }

}  // namespace zolt::frame
