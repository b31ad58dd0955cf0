# The memory layer may use exactly seven functions of Maillink: the names that its archive
# leaves undefined and that Maillink exports must be these and no others.
#   cmake -DARCHIVE=<librelay_memory.a> -DEXPORTS=<exports.txt> -DNM=<nm> -P check_maillink_imports.cmake
cmake_minimum_required(VERSION 3.22)
set(expected CloseSerialPort GetSmConfigPtr GetSmRxMailPtr GetSmTxMailPtr OpenSerialPort SmInit
             SmSendMail)

execute_process(COMMAND ${NM} -u ${ARCHIVE} OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} failed on ${ARCHIVE}")
endif()
file(STRINGS ${EXPORTS} exported)

string(REPLACE "\n" ";" lines "${listing}")
set(used)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^ *U +" "" name "${line}")
  if(name IN_LIST exported)
    list(APPEND used ${name})
  endif()
endforeach()
list(REMOVE_DUPLICATES used)
list(SORT used)
list(SORT expected)
if(NOT used STREQUAL expected)
  message(FATAL_ERROR "the memory layer uses Maillink's ${used}; allowed are ${expected}")
endif()
message(STATUS "Maillink functions used: ${used}")
