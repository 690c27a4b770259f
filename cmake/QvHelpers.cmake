# qv_add_test_suite(NAME SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [FIXTURES <names...>])
# One GoogleTest binary per suite; every case is registered with ctest on its own.
# SERIAL: the suite's tests run with no other test beside them (cases that stream without end
# and so depend on the machine's load). FIXTURES: ctest fixtures every case requires.
function(qv_add_test_suite name)
  cmake_parse_arguments(ARG "SERIAL" "" "SOURCES;LIBS;LABELS;FIXTURES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(NOT "Qt6::Core" IN_LIST ARG_LIBS)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  set(fixtures)
  if(ARG_FIXTURES)
    set(fixtures FIXTURES_REQUIRED "${ARG_FIXTURES}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300 RUN_SERIAL ${ARG_SERIAL} ${fixtures})
  # Each case also carries the suite's name as a label, read after the cases are discovered
  # (`ctest -L '^core_tests$'`); tests/CMakeLists.txt lists the suites in test-suites.txt.
  set(labels ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${labels} "if(${name}_TESTS)\n"
    "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS};${name}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels})
  set_property(GLOBAL APPEND PROPERTY QV_TEST_SUITES ${name})
endfunction()
