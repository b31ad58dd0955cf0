# GoogleTest for the cross build: compiled from the sources that Debian's googletest package
# installs in /usr/src/googletest, with the cross compiler, into this build folder. Gives the
# same GTest::gtest and GTest::gtest_main targets as find_package(GTest) does natively.
set(RELAY_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to cross-compile")
if(NOT EXISTS ${RELAY_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${RELAY_GOOGLETEST_SOURCE} (Debian package googletest)")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${RELAY_GOOGLETEST_SOURCE}/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

foreach(target gtest gtest_main)
  # Its headers count as system headers, so that the project's warnings-as-errors stop at them.
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${dirs}")
endforeach()
# (GoogleTest's own CMake files already name them GTest::gtest and GTest::gtest_main.)
