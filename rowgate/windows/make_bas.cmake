# Writes Rowgate.bas, the declarations of every export for Visual Basic 6 and
# VBA, from the export table: each C parameter becomes one VB parameter that
# takes the same argument words (ByVal Long for an int, ByVal Currency for a
# 64-bit integer, ByVal Double, ByRef for a pointer to one value, ByVal
# LongPtr for any other pointer), once for VBA7 (PtrSafe, LongPtr, 32 and
# 64-bit Office) and once for VB6 and older VBA.
#
#   cmake -DTABLE=rowgate_exports.def -DTEMPLATE=Rowgate.bas.in -DOUTPUT=Rowgate.bas -P make_bas.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/exports.cmake)
rowgate_read_exports(${TABLE} row)

# Parameter names that are Visual Basic keywords get a suffix.
set(reserved type name string date error end open close input print get put let set step lock seek len)

# vb_parameter(C_TYPE POINTER OUT): "ByVal|T" or "ByRef|T" for one C parameter or
# result type, with POINTER the VB type of a pointer (LongPtr or Long).
function(vb_parameter ctype pointer out)
  if(ctype STREQUAL "int")
    set(vb "ByVal|Long")
  elseif(ctype STREQUAL "sqlite3_int64" OR ctype STREQUAL "sqlite3_uint64")
    set(vb "ByVal|Currency")   # the 64-bit value itself, read as Currency
  elseif(ctype STREQUAL "double")
    set(vb "ByVal|Double")
  elseif(ctype STREQUAL "int*")
    set(vb "ByRef|Long")
  elseif(ctype MATCHES "\\*\\*$")
    set(vb "ByRef|${pointer}")   # a handle or text address that the call fills in
  elseif(ctype MATCHES "\\*$" OR ctype STREQUAL "fnptr" OR ctype MATCHES "^rowgate_[a-z0-9_]+_callback$")
    set(vb "ByVal|${pointer}")   # texts, buffers, handles, AddressOf callbacks
  else()
    message(FATAL_ERROR "Rowgate.bas: no Visual Basic type for the C type '${ctype}'")
  endif()
  set(${out} ${vb} PARENT_SCOPE)
endfunction()

function(vb_declares form out)
  if(form STREQUAL "VBA7")
    set(pointer LongPtr)
    set(safe "PtrSafe ")
  else()
    set(pointer Long)
    set(safe "")
  endif()
  set(text "")
  foreach(name IN LISTS row_NAMES)
    set(args)
    foreach(param IN LISTS row_${name}_PARAMS)
      string(REPLACE "|" ";" param "${param}")
      list(GET param 0 ctype)
      list(GET param 1 pname)
      string(TOLOWER "${pname}" lower)
      if(lower IN_LIST reserved)
        string(APPEND pname "Value")
      endif()
      vb_parameter("${ctype}" ${pointer} vb)
      string(REPLACE "|" ";" vb "${vb}")
      list(GET vb 0 passing)
      list(GET vb 1 vbtype)
      list(APPEND args "${passing} ${pname} As ${vbtype}")
    endforeach()
    list(JOIN args ", " args)
    set(result "${row_${name}_RESULT}")
    if(result STREQUAL "void")
      set(line "Public Declare ${safe}Sub rowgate_${name} Lib \"Rowgate.dll\" (${args})")
    else()
      string(REPLACE " " "" result "${result}")
      vb_parameter("${result}" ${pointer} vb)
      string(REPLACE "|" ";" vb "${vb}")
      list(GET vb 1 vbtype)
      set(line "Public Declare ${safe}Function rowgate_${name} Lib \"Rowgate.dll\" (${args}) As ${vbtype}")
    endif()
    string(APPEND text "${line}\n")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

vb_declares(VBA7 ROWGATE_DECLARES_VBA7)
vb_declares(VB6 ROWGATE_DECLARES_VB6)
list(LENGTH row_NAMES ROWGATE_EXPORT_COUNT)
file(READ ${TEMPLATE} text)
string(CONFIGURE "${text}" text @ONLY)
# Visual Basic reads modules as text of the system's code page with CRLF lines.
if(NOT text MATCHES "^[\t\n -~]*$")
  message(FATAL_ERROR "Rowgate.bas must be plain ASCII")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUTPUT} "${text}")
