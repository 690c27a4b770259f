# Installs the build into a staging folder outside the build tree, as `cmake --install` with
# DESTDIR does, for the installed copy's tests; or removes it (-DREMOVE=ON).
#   cmake -DBUILD=... -DSTAGE=... [-DREMOVE=ON] -P InstallCopy.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${STAGE})
if(REMOVE)
  return()
endif()
set(ENV{DESTDIR} ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the install failed:\n${err}")
endif()
