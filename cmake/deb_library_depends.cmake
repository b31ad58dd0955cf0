# Read by cpack (CPACK_PROJECT_CONFIG_FILE) with RELAY_LIBRARY_FILE set to the built libmaillink
# and RELAY_SCRATCH_DIR to a folder of the build it may use:
# the Depends of libmaillink1 from dpkg-shlibdeps, run on its own as CPack runs it (in a folder
# holding an empty debian/control); and the build folder of the library for the programs' run
# of dpkg-shlibdeps, which must find libmaillink.so.1 to read the programs' other needs.

get_filename_component(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${RELAY_LIBRARY_FILE}" DIRECTORY)

set(scratch "${RELAY_SCRATCH_DIR}/library-depends")
file(REMOVE_RECURSE "${scratch}")
file(WRITE "${scratch}/debian/control" "")
execute_process(COMMAND dpkg-shlibdeps -O "${RELAY_LIBRARY_FILE}"
                WORKING_DIRECTORY "${scratch}"
                OUTPUT_VARIABLE substvars ERROR_VARIABLE errors RESULT_VARIABLE rc)
file(REMOVE_RECURSE "${scratch}")
if(NOT rc EQUAL 0 OR NOT substvars MATCHES "shlibs:Depends=([^\n]+)")
  message(FATAL_ERROR "dpkg-shlibdeps ${RELAY_LIBRARY_FILE} failed (${rc}):\n${errors}")
endif()
set(CPACK_DEBIAN_LIBMAILLINK1_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
