# Read by cpack (CPACK_PROJECT_CONFIG_FILE), with RELAY_LIBRARY_FILE the built libmaillink and
# RELAY_SCRATCH_DIR a folder of the build it may use. It sets the Depends of libmaillink1, from
# dpkg-shlibdeps run as CPack runs it (in a folder holding an empty debian/control), and the
# library's build folder as the place where the programs' run of dpkg-shlibdeps finds
# libmaillink.so.1 (without it, that run cannot read the programs' other needs).

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
