# Checks maillink.dll on the build machine: its export name table holds exactly the names of
# exports.txt, and it imports nothing but the operating system and the C runtime (no libgcc or
# libstdc++ DLLs that a user would have to ship).
# Arguments: -DDLL=<path> -DEXPORTS=<exports.txt> -DOBJDUMP=<objdump for PE files>
include(${CMAKE_CURRENT_LIST_DIR}/export_list.cmake)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed (${rc})")
endif()

string(REPLACE "\n" ";" lines "${dump}")
set(found "")
set(imports "")
set(in_names FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(in_names TRUE)
  elseif(in_names AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] ([^ \t]+)[ \t]*$")
    list(APPEND found "${CMAKE_MATCH_1}")
  elseif(in_names)
    set(in_names FALSE)
  endif()
  if(line MATCHES "DLL Name: (.+)$")
    string(STRIP "${CMAKE_MATCH_1}" dll_name)
    list(APPEND imports "${dll_name}")
  endif()
endforeach()
list(SORT found)

read_wanted_exports(${EXPORTS} wanted)
compare_exports("maillink.dll" "${wanted}" "${found}")

foreach(dll_name IN LISTS imports)
  string(TOLOWER "${dll_name}" lower)
  if(NOT lower MATCHES "^(kernel32\\.dll|msvcrt\\.dll|api-ms-win-crt-.*\\.dll|ucrtbase\\.dll)$")
    message(FATAL_ERROR "maillink.dll imports ${dll_name}; only KERNEL32 and the C runtime are allowed")
  endif()
endforeach()
message(STATUS "maillink.dll imports: ${imports}")
