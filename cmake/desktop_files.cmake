# What a Linux desktop needs beside the programs: for the window, the desktop entry, its icon at
# three sizes (drawn from relaytool/window/art/relaytool.ico by packaging/ico_to_png.py) and the
# AppStream metadata software centres show; for relaycfg, the bash completion, which bash-completion
# loads by the command's name from its completions folder.

set(RELAY_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

if(TARGET relaytool)
  install(FILES ${RELAY_PACKAGING_DIR}/relaytool.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 32 64 128)
    install(FILES ${RELAY_PACKAGING_DIR}/relaytool-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME relaytool.png)
  endforeach()
  set(metainfo org.relaytool.relaytool.metainfo.xml)
  configure_file(${RELAY_PACKAGING_DIR}/${metainfo}.in ${PROJECT_BINARY_DIR}/${metainfo} @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

install(FILES ${RELAY_PACKAGING_DIR}/relaycfg.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME relaycfg)
