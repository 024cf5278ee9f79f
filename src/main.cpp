// ZOLT: the desktop control program for the curve tracer and the power analyser.
// It reads no arguments and no environment: every file is found relative to the
// working folder.
#include "frame/app.h"

int main() { return zolt::frame::MainProgram(); }
