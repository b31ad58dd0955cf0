# The Debian package of both programs and the library (`make package`, which runs cpack in the
# release build).
#
# The programs find libmaillink through their run path $ORIGIN/../<libdir>, so any prefix works
# (`cmake --install <build> --prefix <dir>`); the package installs into /usr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME relaytool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Relaytool developers")
set(CPACK_PACKAGE_CONTACT "Relaytool developers <relaytool@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configure a DECT repeater over a serial line")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Relaytool reads, shows and changes the configuration of a DECT repeater connected to a\n"
    "serial port. relaycfg does the same from the command line, for batch configuration,\n"
    "backups and checks. Both use the shared library libmaillink for the serial mail protocol.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# What the programs link (the C and C++ libraries, Qt) comes from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libmaillink ships in this package; dpkg-shlibdeps finds it beside the programs. Its shlibs
# entry (libmaillink 1) lets other packages depend on it, and installing runs ldconfig.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/maillink)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The window draws its dialog in Tahoma from fonts-wine when the system has no closer match;
# without it, it falls back to Liberation Sans, Arial or DejaVu Sans, so it is recommended, not
# required.
if(TARGET relaytool)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wine)
endif()

# Only what runs: the library's C header stays out of the package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified Library)

include(CPack)
