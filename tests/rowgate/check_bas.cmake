# Reads Rowgate.bas back and checks every Declare against what the compiler
# made of the export table: the i686 module-definition file names each export
# with the bytes of arguments it takes from the stack (rowgate_open_v2@16).
# Both forms (VBA7, then VB6 between #Else and #End If) must declare each
# export once and hand over exactly those bytes, as 32-bit VB passes them.
#
#   cmake -DDEF=Rowgate.def -DBAS=Rowgate.bas -P check_bas.cmake
cmake_minimum_required(VERSION 3.25)
file(STRINGS ${DEF} lines REGEX "^  rowgate_[a-z0-9_]+@[0-9]+$")
set(exports)
foreach(line IN LISTS lines)
  string(REGEX MATCH "(rowgate_[a-z0-9_]+)@([0-9]+)" _ "${line}")
  set(bytes_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  list(APPEND exports ${CMAKE_MATCH_1})
endforeach()
list(SORT exports)

file(STRINGS ${BAS} bas)
# VBA7 declares with PtrSafe and may pass a LongPtr; VB6 knows neither.
set(safe_VBA7 "PtrSafe ")
set(long_VBA7 "Long|LongPtr")
set(safe_VB6 "")
set(long_VB6 "Long")
set(form "")
set(failures "")
foreach(line IN LISTS bas)
  string(STRIP "${line}" line)
  # The first #If VBA7 Then ... #Else ... #End If holds the declarations.
  if(line STREQUAL "#If VBA7 Then" AND form STREQUAL "")
    set(form VBA7)
  elseif(line STREQUAL "#Else" AND form STREQUAL "VBA7")
    set(form VB6)
  elseif(line STREQUAL "#End If" AND form STREQUAL "VB6")
    set(form done)
  elseif(form MATCHES "^VB" AND line MATCHES "^Public Declare ")
    if(NOT line MATCHES "^Public Declare ${safe_${form}}(Function|Sub) (rowgate_[a-z0-9_]+) Lib \"Rowgate.dll\" \\((.*)\\)")
      string(APPEND failures "${form}: not a declaration of this form: ${line}\n")
      continue()
    endif()
    set(name ${CMAKE_MATCH_2})
    list(APPEND seen_${form} ${name})
    # Bytes on the 32-bit stack: 8 for a Double or Currency, 4 for a Long,
    # a LongPtr or an address (ByRef).
    set(total 0)
    string(REPLACE ", " ";" args "${CMAKE_MATCH_3}")
    foreach(arg IN LISTS args)
      if(arg MATCHES "^ByVal [A-Za-z0-9_]+ As (Double|Currency)$")
        math(EXPR total "${total} + 8")
      elseif(arg MATCHES "^(ByRef [A-Za-z0-9_]+ As [A-Za-z]+|ByVal [A-Za-z0-9_]+ As (${long_${form}}))$")
        math(EXPR total "${total} + 4")
      else()
        string(APPEND failures "${form}: ${name}: cannot pass '${arg}'\n")
      endif()
    endforeach()
    if(DEFINED bytes_${name} AND NOT total EQUAL bytes_${name})
      string(APPEND failures "${form}: ${name} passes ${total} bytes, the export takes ${bytes_${name}}\n")
    endif()
  endif()
endforeach()
# Each export declared once, and nothing else.
foreach(form VBA7 VB6)
  list(SORT seen_${form})
  if(NOT "${seen_${form}}" STREQUAL "${exports}")
    string(APPEND failures "${form}: the Declares are not the exports once each\n  ${seen_${form}}\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
