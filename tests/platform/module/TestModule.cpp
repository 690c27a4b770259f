// A module for the on-demand loader's tests: built once with this build's identity, once
// with another build's (StaleBuild.cpp) and once with none.
extern "C" __attribute__((visibility("default"))) int qvTestModuleAnswer() {
    return 42;
}
