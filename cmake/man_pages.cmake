# The manual pages relaycfg(1) and, with the window, relaytool(1): scdoc sources in
# packaging/man (their first line takes the project's version), turned into roff by the build
# and installed compressed as man-db reads them and Debian ships them.

find_program(RELAY_SCDOC scdoc)
find_program(RELAY_GZIP gzip)
if(NOT RELAY_SCDOC OR NOT RELAY_GZIP)
  message(FATAL_ERROR "The manual pages need scdoc and gzip (Debian packages scdoc and gzip; "
                      "make deps installs them)")
endif()

set(RELAY_MAN_SOURCE_DIR ${PROJECT_SOURCE_DIR}/packaging/man)
set(man_dir ${PROJECT_BINARY_DIR}/man)
set(pages relaycfg.1)
if(TARGET relaytool)
  list(APPEND pages relaytool.1)
endif()

set(compressed_pages "")
foreach(page IN LISTS pages)
  configure_file(${RELAY_MAN_SOURCE_DIR}/${page}.scd ${man_dir}/${page}.scd @ONLY)
  # The page's date is the release's (scdoc takes SOURCE_DATE_EPOCH), not the day of the build;
  # gzip -n leaves out the name and time stamp, so the file is the same in every build.
  add_custom_command(
      OUTPUT ${man_dir}/${page} ${man_dir}/${page}.gz
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${RELAY_RELEASE_EPOCH}
              sh -c "'${RELAY_SCDOC}' < ${page}.scd > ${page} && '${RELAY_GZIP}' -9n -c ${page} > ${page}.gz"
      DEPENDS ${man_dir}/${page}.scd
      WORKING_DIRECTORY ${man_dir}
      COMMENT "Writing the manual page ${page}"
      VERBATIM)
  list(APPEND compressed_pages ${man_dir}/${page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
