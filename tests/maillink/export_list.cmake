# Shared by the export checks: reads the wanted names and compares them with the found ones.

# Reads exports.txt into the variable named by out_var, sorted, blank lines dropped.
function(read_wanted_exports file out_var)
  file(STRINGS "${file}" lines)
  set(names "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(NOT line STREQUAL "")
      list(APPEND names "${line}")
    endif()
  endforeach()
  list(SORT names)
  set(${out_var} "${names}" PARENT_SCOPE)
endfunction()

# Fails with the differences when the two sorted lists are not the same.
function(compare_exports what wanted found)
  set(missing "${wanted}")
  set(extra "${found}")
  if(found)
    list(REMOVE_ITEM missing ${found})
  endif()
  if(wanted)
    list(REMOVE_ITEM extra ${wanted})
  endif()
  list(LENGTH wanted wanted_count)
  list(LENGTH found found_count)
  if(missing OR extra OR NOT wanted_count EQUAL found_count)
    message(FATAL_ERROR "${what}: export table differs from the list\n"
                        "  listed but not exported: ${missing}\n  exported but not listed: ${extra}\n"
                        "  counts: ${found_count} exported, ${wanted_count} listed")
  endif()
  message(STATUS "${what}: exactly the ${wanted_count} listed names are exported")
endfunction()
