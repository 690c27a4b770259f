# Where `cmake --install` puts the program's parts, relative to the prefix. The program finds
# each from its own path at run time (platform/BundleLayout.h), so an install works under any
# prefix and DESTDIR. Libraries and modules go to a private folder that the program and the
# tools reach through their RPATH: they are no libraries for other programs to link.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(QV_INSTALL_ARCH_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(QV_INSTALL_ARCH_LIBDIR lib)
endif()
set(QV_INSTALL_BINDIR bin)
set(QV_INSTALL_LIBEXECDIR libexec/quorvalde-translator)
set(QV_INSTALL_PRIVATE_LIBDIR ${QV_INSTALL_ARCH_LIBDIR}/quorvalde-translator)
set(QV_INSTALL_DATADIR share/quorvalde-translator)

# The build's identity for the modules' check, rewritten by every build (cmake/QvBuildId.cmake).
set(QV_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set(QV_BUILD_CONFIGURATION
  "${PROJECT_BINARY_DIR};${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION};${CMAKE_BUILD_TYPE};${QV_SANITIZE};${QV_BUILD_FUZZ}")
add_custom_target(qv_build_id
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT_DIR=${QV_GENERATED_DIR}
    -DVERSION=${PROJECT_VERSION} "-DCONFIGURATION=${QV_BUILD_CONFIGURATION}"
    -P ${PROJECT_SOURCE_DIR}/cmake/QvBuildId.cmake
  BYPRODUCTS ${QV_GENERATED_DIR}/OnDemandModuleBuild.h ${QV_GENERATED_DIR}/OnDemandModuleBuild.cpp
  COMMENT "Checking the build's identity"
  VERBATIM)

# qv_install_program(<target>): the program, in bin.
function(qv_install_program target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/../${QV_INSTALL_PRIVATE_LIBDIR}")
  install(TARGETS ${target} RUNTIME DESTINATION ${QV_INSTALL_BINDIR})
endfunction()

# qv_install_tool(<target>): a package or model tool, in libexec.
function(qv_install_tool target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/../../${QV_INSTALL_PRIVATE_LIBDIR}")
  install(TARGETS ${target} RUNTIME DESTINATION ${QV_INSTALL_LIBEXECDIR})
endfunction()

# qv_install_private_library(<target>): a shared library of the program's, in its private folder.
function(qv_install_private_library target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${target} LIBRARY DESTINATION ${QV_INSTALL_PRIVATE_LIBDIR} NAMELINK_SKIP)
endfunction()

# qv_module_build_identity(<target>): the module carries the build's identity, which the
# program checks before it uses the module (platform/OnDemandLibrary.h).
function(qv_module_build_identity target)
  target_sources(${target} PRIVATE ${QV_GENERATED_DIR}/OnDemandModuleBuild.cpp)
  target_include_directories(${target} PRIVATE ${QV_GENERATED_DIR})
  add_dependencies(${target} qv_build_id)
endfunction()

# qv_on_demand_module(<target>): a module the program loads when first needed. It carries the
# build's identity and installs beside the program's libraries.
function(qv_on_demand_module target)
  qv_module_build_identity(${target})
  qv_install_private_library(${target})
endfunction()

# The compiler's own libraries, which end every link line, are linked as given rather than as
# needed: a module whose code calls the C library only through others still names it, as every
# shared object of a Debian package should. What comes before them stays linked as needed.
string(APPEND CMAKE_CXX_STANDARD_LIBRARIES " -Wl,--no-as-needed")

# The Debian package's maintainer and revision (cmake/QvPackage.cmake, and the change log it ships).
set(QV_PACKAGE_MAINTAINER "Quorvalde Translator maintainers <maintainers@quorvalde.example>"
  CACHE STRING "The Debian package's maintainer")
set(QV_PACKAGE_RELEASE 1)
