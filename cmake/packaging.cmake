# The Debian packages (`make package`, which runs cpack in the release build), one for each
# install component:
#   libmaillink1     Library       libmaillink.so.1 (with its shlibs, symbols and ldconfig trigger)
#   libmaillink-dev  Development   maillink.h, libmaillink.so, maillink.pc, the CMake package
#   relaytool        Programs      relaytool, relaycfg, manual pages, completion, desktop files
# Each package also holds /usr/share/doc/<package>/copyright (the machine-readable form, with
# LICENSE's text) and changelog.gz, in components that only the packages install (a plain
# `cmake --install` puts LICENSE in share/doc/relaytool instead).
#
# CPack rather than a debian/ folder: the packages are made from the very release build that
# `make demo` and `make bench` use, in one step and without a second compile, a build-dependency
# on debhelper or build droppings in the source tree; lintian checks the result (make check).
#
# The programs find libmaillink through their run path $ORIGIN/../<libdir>, so any prefix works
# (`cmake --install <build> --prefix <dir>`); the packages install into /usr.

set(deb_dir ${PROJECT_BINARY_DIR}/deb)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc)

# copyright: the Debian copyright format over LICENSE (Debian calls the MIT licence "Expat").
file(READ ${RELAY_LICENSE} license_text)
string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]*\n\n" "" license_terms "${license_text}")
string(STRIP "${license_terms}" license_terms)
string(REPLACE "\n\n" "\n.\n" license_terms "${license_terms}")
string(REPLACE "\n" "\n " license_terms "${license_terms}")
file(WRITE ${deb_dir}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: Relaytool\n"
     "Upstream-Contact: ${RELAY_CONTACT}\n"
     "Source: ${PROJECT_HOMEPAGE_URL}\n"
     "\n"
     "Files: *\n"
     "Copyright: ${RELAY_COPYRIGHT}\n"
     "License: Expat\n"
     "\n"
     "License: Expat\n"
     " ${license_terms}\n")
# changelog.gz, compressed as Debian wants it (best compression, no name or time stamp).
execute_process(COMMAND ${RELAY_GZIP} -9n -c ${RELAY_CHANGELOG}
                OUTPUT_FILE ${deb_dir}/changelog.gz RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip of ${RELAY_CHANGELOG} failed (${rc})")
endif()
install(FILES ${RELAY_LICENSE} DESTINATION ${doc_dir}/relaytool COMPONENT License)

# The package of each component, and its Debian documentation.
set(CPACK_COMPONENTS_ALL "")
foreach(entry "Library:libmaillink1" "Development:libmaillink-dev" "Programs:relaytool")
  string(REPLACE ":" ";" entry ${entry})
  list(GET entry 0 component)
  list(GET entry 1 package)
  install(FILES ${deb_dir}/copyright ${deb_dir}/changelog.gz DESTINATION ${doc_dir}/${package}
          COMPONENT ${component}Docs EXCLUDE_FROM_ALL)
  string(TOUPPER ${component} upper)
  set(CPACK_COMPONENT_${upper}_GROUP ${package})
  set(CPACK_COMPONENT_${upper}DOCS_GROUP ${package})
  list(APPEND CPACK_COMPONENTS_ALL ${component} ${component}Docs)
endforeach()

# libmaillink1: dpkg's shlibs and symbols files say which package and version a program built
# against the library needs (all of today's symbols count as of this version: a program built
# against a later release may ask for more than it uses, never for less); the trigger has
# ldconfig refresh its cache after the library is installed or removed. Its own dependencies
# come from dpkg-shlibdeps at package time (cmake/deb_library_depends.cmake): CPack's own
# dependency search would add maintainer scripts that call ldconfig instead of the trigger.
file(WRITE ${deb_dir}/shlibs "libmaillink 1 libmaillink1 (>= ${PROJECT_VERSION})\n")
file(STRINGS ${PROJECT_SOURCE_DIR}/maillink/exports.txt exports)
set(symbols "libmaillink.so.1 libmaillink1 #MINVER#\n* Build-Depends-Package: libmaillink-dev\n")
foreach(name IN LISTS exports)
  string(APPEND symbols " ${name}@Base ${PROJECT_VERSION}\n")
endforeach()
file(WRITE ${deb_dir}/symbols "${symbols}")
file(WRITE ${deb_dir}/triggers "activate-noawait ldconfig\n")
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake
     CONTENT "set(RELAY_LIBRARY_FILE \"$<TARGET_FILE:maillink>\")
set(RELAY_SCRATCH_DIR \"${deb_dir}\")
include(\"${PROJECT_SOURCE_DIR}/cmake/deb_library_depends.cmake\")\n")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME relaytool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Relaytool developers")
set(CPACK_PACKAGE_CONTACT ${RELAY_CONTACT})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# The install runs with DESTDIR and the real prefix, so that maillink.pc names /usr.
set(CPACK_SET_DESTDIR ON)
# Stripped programs and library; the release build has no debug information to keep.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE relaytool)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_LIBMAILLINK1_PACKAGE_NAME libmaillink1)
set(CPACK_DEBIAN_LIBMAILLINK1_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBMAILLINK1_PACKAGE_CONTROL_EXTRA
    ${deb_dir}/shlibs ${deb_dir}/symbols ${deb_dir}/triggers)
string(CONCAT CPACK_DEBIAN_LIBMAILLINK1_DESCRIPTION
    "serial mail library for DECT repeater configuration\n"
    "Maillink owns a serial port at 9600 baud and exchanges framed, checksummed\n"
    "command packets (mails) with a DECT repeater: it sends a mail, checks the\n"
    "line's local echo, waits for the acknowledge or the reply and verifies it.\n"
    "\n"
    "This package holds the shared library, used by relaytool and relaycfg.")

set(CPACK_DEBIAN_LIBMAILLINK-DEV_PACKAGE_NAME libmaillink-dev)
set(CPACK_DEBIAN_LIBMAILLINK-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBMAILLINK-DEV_PACKAGE_DEPENDS "libmaillink1 (= ${PROJECT_VERSION})")
string(CONCAT CPACK_DEBIAN_LIBMAILLINK-DEV_DESCRIPTION
    "serial mail library for DECT repeater configuration - development files\n"
    "Maillink owns a serial port at 9600 baud and exchanges framed, checksummed\n"
    "command packets (mails) with a DECT repeater.\n"
    "\n"
    "This package holds what building against the library takes: the C header\n"
    "maillink.h, the libmaillink.so link, the pkg-config file maillink.pc and\n"
    "the CMake package (find_package(Maillink) gives Maillink::maillink).")

set(CPACK_DEBIAN_RELAYTOOL_PACKAGE_NAME relaytool)
set(CPACK_DEBIAN_RELAYTOOL_PACKAGE_SECTION utils)
# What the programs link (the C and C++ libraries, Qt) comes from dpkg-shlibdeps, which cannot
# tell libmaillink's package while that is being built beside it (it finds the library in the
# build tree, cmake/deb_library_depends.cmake): that package is named here as the library's
# shlibs entry would name it.
set(CPACK_DEBIAN_RELAYTOOL_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RELAYTOOL_PACKAGE_DEPENDS "libmaillink1 (>= ${PROJECT_VERSION})")
# The window draws its dialog in Tahoma from fonts-wine when the system has no closer match;
# without it, it falls back to Liberation Sans, Arial or DejaVu Sans, so it is recommended, not
# required.
if(TARGET relaytool)
  set(CPACK_DEBIAN_RELAYTOOL_PACKAGE_RECOMMENDS fonts-wine)
endif()
string(CONCAT CPACK_DEBIAN_RELAYTOOL_DESCRIPTION
    "configure a DECT repeater over a serial line\n"
    "Relaytool reads, shows and changes the configuration of a DECT repeater\n"
    "connected to a serial port: the parent's identity (RFPI, PARK, RPN), the\n"
    "repeater's own RPN and its switches. Every save is read back and checked.\n"
    "\n"
    "The command-line tool relaycfg does the same for batch work: backups and\n"
    "restores, single fields, finding the repeater's port, and whole sites\n"
    "described in a plan file.")

include(CPack)
