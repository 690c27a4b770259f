// The identity a module of an older build carries.
extern "C" __attribute__((visibility("default"), used)) const char qvModuleBuild[] =
    "0.9.0 (build 000000000000)";
