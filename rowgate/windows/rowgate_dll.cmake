# Rowgate.dll and what ships with it: the exports by their plain names only
# (a module-definition file made from the export table), sqlite3.dll
# delay-imported by name and bound at the first call (engine_binding.cpp),
# the version resource, Rowgate.bas for Visual Basic, and the zip for Windows
# programmers.

set(windows ${CMAKE_CURRENT_SOURCE_DIR}/windows)
set(table ${CMAKE_CURRENT_SOURCE_DIR}/rowgate_exports.def)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(rowgate_bits 32)
else()
  set(rowgate_bits 64)
endif()

add_library(rowgate_objects OBJECT forwarders.cpp adapters.cpp ${windows}/dllmain.cpp
                                   ${windows}/engine_binding.cpp)
target_include_directories(rowgate_objects PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(rowgate_objects PUBLIC ${rowgate_engine})
if(rowgate_bits EQUAL 32)
  target_link_libraries(rowgate_objects PRIVATE rowgate_closures)
endif()

# The module-definition file, and the engine functions the objects call,
# delay-imported by name from sqlite3.dll (dlltool names its symbols after
# the library's path, hence the relative one).
find_program(ROWGATE_DLLTOOL ${TOVANI_MINGW_TRIPLET}-dlltool REQUIRED)
set(def ${CMAKE_CURRENT_BINARY_DIR}/Rowgate.def)
set(engine_delaylib ${CMAKE_CURRENT_BINARY_DIR}/libsqlite3_delay.a)
add_custom_command(OUTPUT ${def} ${engine_delaylib}
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DTABLE=${table} -DOUTPUT=${def}
          -DENGINE_OUTPUT=${CMAKE_CURRENT_BINARY_DIR}/sqlite3.def
          "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:rowgate_objects>,|>"
          -DDECORATED=$<EQUAL:${rowgate_bits},32> -P ${windows}/make_def.cmake
  COMMAND ${ROWGATE_DLLTOOL} --input-def sqlite3.def --dllname sqlite3.dll --output-delaylib libsqlite3_delay.a
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  DEPENDS rowgate_objects $<TARGET_OBJECTS:rowgate_objects> ${table}
          ${windows}/make_def.cmake ${windows}/exports.cmake
  COMMENT "Module-definition file of Rowgate.dll, delay-import library of sqlite3.dll" VERBATIM)

configure_file(${windows}/Rowgate.rc.in ${CMAKE_CURRENT_BINARY_DIR}/Rowgate.rc @ONLY)
add_library(rowgate SHARED $<TARGET_OBJECTS:rowgate_objects> ${def} ${CMAKE_CURRENT_BINARY_DIR}/Rowgate.rc)
set_target_properties(rowgate PROPERTIES PREFIX "" OUTPUT_NAME Rowgate
  LINK_DEPENDS "${def};${engine_delaylib}")
target_include_directories(rowgate PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
# The library itself links only the delay-import library; programs that link
# Rowgate (the tests) get the engine's import library as well.
target_link_libraries(rowgate PRIVATE ${engine_delaylib} INTERFACE ${rowgate_engine})
if(rowgate_bits EQUAL 32)
  target_link_libraries(rowgate PRIVATE rowgate_closures)
  # Exported as rowgate_open_v2, not rowgate_open_v2@16; the import library
  # keeps the decorated names that standard-call C callers link against.
  target_link_options(rowgate PRIVATE -Wl,--kill-at)
  add_custom_command(TARGET rowgate POST_BUILD
    COMMAND ${ROWGATE_DLLTOOL} --kill-at -d ${def} -D Rowgate.dll -l $<TARGET_LINKER_FILE:rowgate>
    VERBATIM)
endif()

# Rowgate.bas, from the same table.
set(bas ${CMAKE_CURRENT_BINARY_DIR}/Rowgate.bas)
add_custom_command(OUTPUT ${bas}
  COMMAND ${CMAKE_COMMAND} -DTABLE=${table} -DTEMPLATE=${windows}/Rowgate.bas.in -DOUTPUT=${bas}
          -DPROJECT_VERSION=${PROJECT_VERSION} -P ${windows}/make_bas.cmake
  DEPENDS ${table} ${windows}/Rowgate.bas.in ${windows}/make_bas.cmake ${windows}/exports.cmake
  COMMENT "Rowgate.bas" VERBATIM)

# The download: Rowgate-<version>-win32.zip or -win64.zip.
set(ROWGATE_BITS ${rowgate_bits})
set(SQLITE_VERSION ${TOVANI_SQLITE3_VERSION})
set(readme ${CMAKE_CURRENT_BINARY_DIR}/README.txt)
configure_file(${windows}/README.txt.in ${readme} @ONLY NEWLINE_STYLE CRLF)
# The libraries ship without their debugging symbols.
set(zip ${CMAKE_BINARY_DIR}/Rowgate-${PROJECT_VERSION}-win${rowgate_bits}.zip)
set(stage ${CMAKE_CURRENT_BINARY_DIR}/zip)
add_custom_command(OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip} ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:rowgate> $<TARGET_FILE:sqlite3> ${bas} ${readme} ${stage}
  COMMAND ${CMAKE_STRIP} --strip-all ${stage}/Rowgate.dll ${stage}/sqlite3.dll
  COMMAND zip -q -j -X ${zip} ${stage}/Rowgate.dll ${stage}/sqlite3.dll ${stage}/Rowgate.bas ${stage}/README.txt
  DEPENDS rowgate sqlite3 ${bas} ${readme}
  COMMENT "Rowgate-${PROJECT_VERSION}-win${rowgate_bits}.zip" VERBATIM)
add_custom_target(rowgate_zip ALL DEPENDS ${zip})
set(ROWGATE_DEF ${def} PARENT_SCOPE)
set(ROWGATE_BAS ${bas} PARENT_SCOPE)
