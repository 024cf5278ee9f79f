// A tiny shared library that the library tests load at run time.
extern "C" int ZoltTestAnswer() { return 42; }
