# Writes the module-definition file of Rowgate.dll: every export of the table
# by its plain name, and nothing else. On 32-bit x86 each line carries the
# compiler's standard-call byte count (rowgate_open_v2@16, taken from the
# objects), which --kill-at strips from the exported name; the same file
# makes the import library that standard-call C callers link against.
# ENGINE_OUTPUT gets the engine functions that the objects call, for the
# delay-import library of sqlite3.dll.
#
#   cmake -DNM=... -DTABLE=rowgate_exports.def -DOBJECTS=a.obj|b.obj -DOUTPUT=Rowgate.def
#         -DENGINE_OUTPUT=sqlite3.def [-DDECORATED=ON] -P make_def.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/exports.cmake)
rowgate_read_exports(${TABLE} row)

string(REPLACE "|" ";" objects "${OBJECTS}")
execute_process(COMMAND ${NM} ${objects} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${objects}")
endif()
string(REGEX MATCHALL "[ \t][TR] _?rowgate_[a-z0-9_]+(@[0-9]+)?" defined "${symbols}")
set(found)
foreach(symbol IN LISTS defined)
  string(REGEX REPLACE "^[ \t][TR] _?rowgate_" "" symbol "${symbol}")
  string(REGEX MATCH "^[a-z0-9_]+" name "${symbol}")
  set(bytes_${name} "${symbol}")
  list(APPEND found ${name})
endforeach()

set(text "LIBRARY Rowgate.dll\nEXPORTS\n")
foreach(name IN LISTS row_NAMES)
  if(NOT DEFINED bytes_${name})
    message(FATAL_ERROR "rowgate_${name} is in the export table but no object defines it")
  endif()
  if(DECORATED AND NOT bytes_${name} MATCHES "@[0-9]+$")
    message(FATAL_ERROR "rowgate_${name} is not a standard-call function (${bytes_${name}})")
  endif()
  string(APPEND text "  rowgate_${bytes_${name}}\n")
endforeach()
foreach(name IN LISTS found)
  if(NOT name IN_LIST row_NAMES)
    message(FATAL_ERROR "rowgate_${name} is defined but not in the export table")
  endif()
endforeach()

string(REGEX MATCHALL " U _?sqlite3_[a-z0-9_]+" called "${symbols}")
string(REGEX REPLACE " U _?" "" called "${called}")
list(REMOVE_DUPLICATES called)
list(SORT called)
list(JOIN called "\n  " called)
set(engine "LIBRARY sqlite3.dll\nEXPORTS\n  ${called}\n")

# Each file is rewritten only when its text changes.
function(write_if_changed file text)
  file(WRITE ${file}.new "${text}")
  file(COPY_FILE ${file}.new ${file} ONLY_IF_DIFFERENT)
  file(REMOVE ${file}.new)
endfunction()
write_if_changed(${OUTPUT} "${text}")
write_if_changed(${ENGINE_OUTPUT} "${engine}")
