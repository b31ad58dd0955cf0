# Installs the library's two components (Library and Development: what libmaillink1 and
# libmaillink-dev hold) into a fresh temporary prefix and builds the small C program
# consumer/maillink_consumer.c against it twice, once with the flags of pkg-config's maillink.pc
# and once with find_package(Maillink); each program must run and print SmInit's defaults.
#
#   cmake -DBUILD_DIR=<build> -DWORK_DIR=<scratch> -DSOURCE_DIR=<tests/packaging/consumer>
#         -DVERSION=<project version> -DCC=<C compiler> [-DC_FLAGS=<e.g. sanitizer flags>]
#         -P build_against_installed_library.cmake

string(CONCAT expected "AckMode=1 RxMailExpected=0 SkipEchoCheck=0 FixedRxLength=0 "
                       "EchoTimeoutPerByte=200 EeWriteDelay=65535 RxTimeout=400 SmError=0\n")
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
separate_arguments(c_flags UNIX_COMMAND "${C_FLAGS}")

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${what} failed (${rc}): ${command}\n${out}\n${err}")
  endif()
  string(STRIP "${out}" out)
  set(out "${out}" PARENT_SCOPE)
endfunction()

function(expect_defaults program route)
  execute_process(COMMAND ${program} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT 20)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "the program built ${route} printed (exit ${rc}):\n${out}${err}\n"
                        "instead of:\n${expected}")
  endif()
endfunction()

foreach(component Library Development)
  run("cmake --install of ${component}"
      ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component ${component})
endforeach()

# pkg-config, seeing only the prefix's folder.
file(GLOB_RECURSE pc_files ${prefix}/*/maillink.pc)
list(LENGTH pc_files count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one maillink.pc under ${prefix}, found: ${pc_files}")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)
set(pkg_config ${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${pc_dir} PKG_CONFIG_PATH= pkg-config)
run("pkg-config --modversion" ${pkg_config} --modversion maillink)
if(NOT out STREQUAL VERSION)
  message(FATAL_ERROR "maillink.pc says version ${out}, the build is ${VERSION}")
endif()
run("pkg-config --cflags --libs" ${pkg_config} --cflags --libs maillink)
separate_arguments(flags UNIX_COMMAND "${out}")
run("pkg-config --variable=libdir" ${pkg_config} --variable=libdir maillink)
set(libdir ${out})
if(NOT libdir MATCHES "^${prefix}/")
  message(FATAL_ERROR "maillink.pc names the library folder ${libdir}, outside ${prefix}")
endif()
set(program ${WORK_DIR}/pkg-config/maillink_consumer)
file(MAKE_DIRECTORY ${WORK_DIR}/pkg-config)
run("compiling with pkg-config's flags" ${CC} ${c_flags} ${SOURCE_DIR}/maillink_consumer.c
    ${flags} -Wl,-rpath,${libdir} -o ${program})
expect_defaults(${program} "with pkg-config")

# find_package(Maillink).
set(build ${WORK_DIR}/find-package)
run("configuring with find_package(Maillink)"
    ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -DCMAKE_C_COMPILER=${CC} "-DCMAKE_C_FLAGS=${C_FLAGS}"
    -DCMAKE_PREFIX_PATH=${prefix} -DEXPECTED_PREFIX=${prefix} -DVERSION=${VERSION})
run("building with find_package(Maillink)" ${CMAKE_COMMAND} --build ${build})
expect_defaults(${build}/maillink_consumer "with find_package(Maillink)")

file(REMOVE_RECURSE ${WORK_DIR})
message(STATUS "built and ran a C program against ${prefix} with pkg-config and find_package")
