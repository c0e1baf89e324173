# Reads the export table (rowgate_exports.def) for the Windows build scripts.
#
# rowgate_read_exports(TABLE PREFIX) sets PREFIX_NAMES (the names without
# "rowgate_", in table order) and, for each NAME, PREFIX_NAME_RESULT (the C
# result type) and PREFIX_NAME_PARAMS (the C parameters as a list of
# "type|name", function pointers given the type "fnptr").
function(rowgate_read_exports table prefix)
  file(STRINGS ${table} rows REGEX "^ROWGATE_(FORWARD|ADAPTED)\\(")
  set(names)
  foreach(row IN LISTS rows)
    # (if() evaluates both sides of an OR, and each MATCHES resets CMAKE_MATCH_n.)
    if(row MATCHES "^ROWGATE_FORWARD\\(([^,]+), ([a-z0-9_]+), \\((.*)\\), \\([^()]*\\)\\)$")
    elseif(row MATCHES "^ROWGATE_ADAPTED\\(([^,]+), ([a-z0-9_]+), \\((.*)\\)\\)$")
    else()
      message(FATAL_ERROR "export table: cannot read the row\n  ${row}")
    endif()
    set(result ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
    set(params "${CMAKE_MATCH_3}")
    # A function pointer "void (*xDel)(void*)" becomes "fnptr xDel", so that
    # the parameters split at their commas.
    string(REGEX REPLACE "[A-Za-z_][A-Za-z0-9_ ]*\\(\\*([A-Za-z0-9_]+)\\)\\([^()]*\\)" "fnptr \\1" params "${params}")
    set(list)
    if(NOT params STREQUAL "void")
      string(REPLACE "," ";" parts "${params}")
      foreach(part IN LISTS parts)
        string(STRIP "${part}" part)
        if(NOT part MATCHES "^(.*[^A-Za-z0-9_])([A-Za-z_][A-Za-z0-9_]*)$")
          message(FATAL_ERROR "export table: rowgate_${name}: cannot read the parameter '${part}'")
        endif()
        string(STRIP "${CMAKE_MATCH_1}" type)
        string(REPLACE " *" "*" type "${type}")
        list(APPEND list "${type}|${CMAKE_MATCH_2}")
      endforeach()
    endif()
    list(APPEND names ${name})
    set(${prefix}_${name}_RESULT "${result}" PARENT_SCOPE)
    set(${prefix}_${name}_PARAMS "${list}" PARENT_SCOPE)
  endforeach()
  set(${prefix}_NAMES ${names} PARENT_SCOPE)
endfunction()
