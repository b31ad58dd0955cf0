# build-win/relaytool-<version>-win64.zip: the window, the command-line tool and the library,
# stripped (the build's own files keep their symbols for debugging under Wine), with the licence
# and a first-use text, side by side as they run.

set(zip ${PROJECT_BINARY_DIR}/relaytool-${PROJECT_VERSION}-win64.zip)
set(zip_texts ${PROJECT_BINARY_DIR}/zip-texts)
# The texts with Windows line ends (older Notepads know no others), the first-use text with the
# version.
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/FIRST-USE.txt ${zip_texts}/FIRST-USE.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${RELAY_LICENSE} ${zip_texts}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
set(stage ${PROJECT_BINARY_DIR}/zip-stage)
set(programs relaytool.exe maillink.dll relaycfg.exe)
add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    COMMAND ${CMAKE_STRIP} --strip-all -o ${stage}/relaytool.exe $<TARGET_FILE:relaytool_win32>
    COMMAND ${CMAKE_STRIP} --strip-all -o ${stage}/maillink.dll $<TARGET_FILE:maillink>
    COMMAND ${CMAKE_STRIP} --strip-all -o ${stage}/relaycfg.exe $<TARGET_FILE:relaycfg>
    COMMAND ${CMAKE_COMMAND} -E copy ${zip_texts}/FIRST-USE.txt ${zip_texts}/LICENSE.txt ${stage}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${zip}
    COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip
            ${programs} FIRST-USE.txt LICENSE.txt
    DEPENDS relaytool_win32 maillink relaycfg ${zip_texts}/FIRST-USE.txt ${zip_texts}/LICENSE.txt
    COMMENT "Packing relaytool-${PROJECT_VERSION}-win64.zip"
    VERBATIM)
add_custom_target(relaytool_win64_zip ALL DEPENDS ${zip})
