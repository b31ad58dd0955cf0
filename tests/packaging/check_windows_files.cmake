# Checks what the Windows zip holds, as a technician unpacks it: relaytool.exe, relaycfg.exe and
# maillink.dll stripped, each with a version resource of the build's version (read back from the
# file with the cross binutils' windres), naming itself and the product; relaytool.exe with its
# application manifest (read with icoutils' wrestool): common controls 6, DPI-unaware, asInvoker,
# and an identity Windows accepts (a wrong architecture or version format stops the program
# from starting); and the licence and first-use texts.
#
#   cmake -DZIP=<zip> -DWORK_DIR=<scratch> -DVERSION=<project version> -DWINDRES=<windres>
#         -DOBJDUMP=<objdump> -P check_windows_files.cmake

set(failures "")
function(require_text text wanted what)
  string(FIND "${text}" "${wanted}" at)
  if(at EQUAL -1)
    set(failures "${failures}\n  ${what}" PARENT_SCOPE)
  endif()
endfunction()
function(require_match text pattern what)
  if(NOT text MATCHES "${pattern}")
    set(failures "${failures}\n  ${what}" PARENT_SCOPE)
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${ZIP}")
endif()
file(GLOB unpacked RELATIVE ${WORK_DIR} ${WORK_DIR}/*)
list(SORT unpacked)
set(wanted FIRST-USE.txt LICENSE.txt maillink.dll relaycfg.exe relaytool.exe)
if(NOT unpacked STREQUAL wanted)
  message(FATAL_ERROR "the zip holds ${unpacked}, not ${wanted}")
endif()

string(REGEX MATCH "^([0-9]+)\\.([0-9]+)$" _ "${VERSION}")
math(EXPR major "${CMAKE_MATCH_1}")
math(EXPR minor "${CMAKE_MATCH_2}")

foreach(file relaytool.exe relaycfg.exe maillink.dll)
  execute_process(COMMAND ${OBJDUMP} -f ${WORK_DIR}/${file} OUTPUT_VARIABLE header)
  if(header MATCHES "HAS_SYMS|HAS_DEBUG")
    set(failures "${failures}\n  ${file} is not stripped")
  endif()
  execute_process(COMMAND ${WINDRES} -i ${WORK_DIR}/${file} -O rc OUTPUT_VARIABLE resources)
  string(REGEX MATCH "VERSIONINFO.*" version_info "${resources}")
  foreach(field "FILEVERSION ${major}, ${minor}, 0, 0" "PRODUCTVERSION ${major}, ${minor}, 0, 0"
                "VALUE \"FileVersion\", \"${VERSION}\"" "VALUE \"ProductVersion\", \"${VERSION}\""
                "VALUE \"ProductName\", \"Relaytool\"" "VALUE \"OriginalFilename\", \"${file}\""
                "VALUE \"LegalCopyright\", \"Copyright (c) ")
    require_text("${version_info}" "${field}" "${file}'s version resource lacks ${field}")
  endforeach()
  require_match("${version_info}" "VALUE \"FileDescription\", \"[^\"]+\""
                "${file}'s version resource has no description")
endforeach()

execute_process(COMMAND wrestool -x --raw --type=24 ${WORK_DIR}/relaytool.exe
                OUTPUT_VARIABLE manifest RESULT_VARIABLE rc)
string(REGEX REPLACE "<!--([^-]|-[^-])*-->" "" manifest "${manifest}")
require_match("${manifest}" "<assembly " "relaytool.exe has no application manifest")
require_match("${manifest}" "name=\"Microsoft\\.Windows\\.Common-Controls\" version=\"6\\.0\\.0\\.0\""
              "relaytool.exe's manifest does not ask for common controls 6")
require_match("${manifest}" "<dpiAware[^>]*>false</dpiAware>"
              "relaytool.exe's manifest does not say dpiAware false")
require_match("${manifest}" "<dpiAwareness[^>]*>unaware</dpiAwareness>"
              "relaytool.exe's manifest does not say dpiAwareness unaware")
require_match("${manifest}" "level=\"asInvoker\""
              "relaytool.exe's manifest does not ask to run as invoker")
require_match("${manifest}"
              "<assemblyIdentity type=\"win32\" name=\"[^\"]+\" version=\"[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+\"[ \n]+processorArchitecture=\"amd64\""
              "relaytool.exe's manifest identity lacks a four-part version or the amd64 architecture")

# "MIT License" and CR LF, in hexadecimal (a text read drops the CRs).
file(READ ${WORK_DIR}/LICENSE.txt licence_start LIMIT 13 HEX)
require_match("${licence_start}" "^4d4954204c6963656e73650d0a"
              "LICENSE.txt is not the MIT licence in Windows line ends")

file(REMOVE_RECURSE ${WORK_DIR})
if(failures)
  message(FATAL_ERROR "the Windows zip:${failures}")
endif()
message(STATUS "the zip's files are stripped and carry version ${VERSION}; relaytool.exe has its manifest")
