# What another program needs to build against an installed Maillink: a pkg-config file
# (`pkg-config --cflags --libs maillink`) and a CMake package (`find_package(Maillink)` gives the
# imported target Maillink::maillink), both in the Development component.

include(CMakePackageConfigHelpers)

set(maillink_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Maillink)
install(EXPORT MaillinkTargets NAMESPACE Maillink:: DESTINATION ${maillink_cmake_dir}
        COMPONENT Development)
configure_file(${PROJECT_SOURCE_DIR}/packaging/maillink/MaillinkConfig.cmake.in
               ${CMAKE_CURRENT_BINARY_DIR}/MaillinkConfig.cmake @ONLY)
# A new minor version keeps the ABI (the soname changes only with the major number).
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/MaillinkConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/MaillinkConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/MaillinkConfigVersion.cmake
        DESTINATION ${maillink_cmake_dir} COMPONENT Development)

# The pkg-config file names absolute folders under the prefix the install goes to, which is only
# known at install time (`cmake --install --prefix`, or /usr for the packages): the version and
# the folders are filled in now, the prefix by the install itself, which writes the file straight
# into its place (two installs of one build into different prefixes may run at once).
set(PC_PREFIX "@CMAKE_INSTALL_PREFIX@")
set(pc_template ${CMAKE_CURRENT_BINARY_DIR}/maillink.pc.in)
configure_file(${PROJECT_SOURCE_DIR}/packaging/maillink/maillink.pc.in ${pc_template} @ONLY)
unset(PC_PREFIX)
install(CODE "
  set(maillink_pc \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/maillink.pc\")
  message(STATUS \"Installing: \${maillink_pc}\")
  configure_file(\"${pc_template}\" \"\${maillink_pc}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${maillink_pc}\")"
  COMPONENT Development)
