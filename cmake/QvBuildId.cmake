# Writes the build's identity, as the program checks it in its on-demand modules
# (platform/OnDemandLibrary.h): a header for the program and a source that every module
# compiles in. Run at every build; a file is rewritten only when its text changes, so a new
# commit rebuilds the program and its modules together and nothing else.
#   cmake -DSOURCE_DIR=... -DOUTPUT_DIR=... -DVERSION=... -DCONFIGURATION=... -P QvBuildId.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND git -C "${SOURCE_DIR}" rev-parse HEAD
  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed)
  set(commit "")
endif()
string(SHA1 hash "${commit};${CONFIGURATION}")
string(SUBSTRING "${hash}" 0 12 id)
set(QV_MODULE_BUILD "${VERSION} (build ${id})")
file(CONFIGURE OUTPUT "${OUTPUT_DIR}/OnDemandModuleBuild.h" CONTENT
  "// Written by cmake/QvBuildId.cmake.\n#pragma once\n#define QV_MODULE_BUILD \"@QV_MODULE_BUILD@\"\n"
  @ONLY)
file(CONFIGURE OUTPUT "${OUTPUT_DIR}/OnDemandModuleBuild.cpp" CONTENT
  "// Written by cmake/QvBuildId.cmake: the build this on-demand module belongs to.\n#include \"OnDemandModuleBuild.h\"\n\nextern \"C\" __attribute__((visibility(\"default\"), used)) const char qvModuleBuild[] = QV_MODULE_BUILD;\n"
  @ONLY)
