# Installs the build into a fresh temporary prefix and runs what was installed there:
# relaycfg --help, relaycfg ports against a private port directory, and checks that both
# programs take libmaillink from the prefix (their relative run path), not from the build tree.
#
#   cmake -DBUILD_DIR=<build> -DWORK_DIR=<scratch> -DWITH_WINDOW=ON|OFF -P install_check.cmake

set(prefix ${WORK_DIR}/prefix)
set(ports ${WORK_DIR}/ports)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${ports})

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}\n${err}")
endif()

file(GLOB_RECURSE library ${prefix}/*/libmaillink.so.1)
if(NOT library)
  message(FATAL_ERROR "libmaillink.so.1 is not installed under ${prefix}")
endif()
set(programs relaycfg)
if(WITH_WINDOW)
  list(APPEND programs relaytool)
  foreach(file share/applications/relaytool.desktop share/icons/hicolor/32x32/apps/relaytool.png)
    if(NOT EXISTS ${prefix}/${file})
      message(FATAL_ERROR "${file} is not installed")
    endif()
  endforeach()
endif()

# Every program resolves libmaillink inside the prefix and nothing is missing.
foreach(program IN LISTS programs)
  if(NOT EXISTS ${prefix}/bin/${program})
    message(FATAL_ERROR "bin/${program} is not installed")
  endif()
  execute_process(COMMAND ldd ${prefix}/bin/${program} OUTPUT_VARIABLE ldd RESULT_VARIABLE rc)
  string(FIND "${ldd}" "libmaillink.so.1 => ${prefix}/" at)
  string(FIND "${ldd}" "not found" missing)
  if(NOT rc EQUAL 0 OR at EQUAL -1 OR NOT missing EQUAL -1)
    message(FATAL_ERROR "${program} does not find its libraries in the prefix:\n${ldd}")
  endif()
endforeach()

execute_process(COMMAND ${prefix}/bin/relaycfg --help
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
string(FIND "${out}" "Usage: relaycfg COMMAND" at)
if(NOT rc EQUAL 0 OR NOT at EQUAL 0)
  message(FATAL_ERROR "installed relaycfg --help failed (${rc}):\n${out}\n${err}")
endif()

# /dev/null opens like a device that is free: bound as COM2 it must be listed.
file(CREATE_LINK /dev/null ${ports}/COM2 SYMBOLIC)
execute_process(COMMAND ${CMAKE_COMMAND} -E env MAILLINK_DEVICE_DIR=${ports}
                        ${prefix}/bin/relaycfg ports
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "COM2 /dev/null (via ${ports}/COM2)\n")
  message(FATAL_ERROR "installed relaycfg ports failed (${rc}):\n${out}\n${err}")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
message(STATUS "installed into ${prefix} and ran: ${programs}")
