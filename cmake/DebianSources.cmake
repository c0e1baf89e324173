# Libraries that Debian has for Linux only, built for Windows from Debian's own
# source packages: the same version as the Linux library installed here, with
# Debian's fixes applied. The sources are fetched once into
# TOVANI_DEBIAN_SOURCES (scripts/debian-source) and shared by the build
# folders of both architectures; each build folder compiles its own binaries.

set(TOVANI_DEBIAN_SOURCES ${CMAKE_SOURCE_DIR}/build-sources CACHE PATH
    "Where the Debian source packages for the Windows builds are kept (shared by all build folders)")

# tovani_debian_source(SOURCE_PACKAGE LINUX_PACKAGE OUT_DIR OUT_VERSION): the
# unpacked source of SOURCE_PACKAGE at the version of the installed LINUX_PACKAGE.
function(tovani_debian_source source linux out_dir out_version)
  # One line per architecture installed (amd64 and i386): the first will do.
  execute_process(COMMAND dpkg-query -W -f=\${source:Version}\n ${linux}
                  OUTPUT_VARIABLE version RESULT_VARIABLE rc ERROR_QUIET)
  string(REGEX MATCH "^[^\n]*" version "${version}")
  if(NOT rc EQUAL 0 OR version STREQUAL "")
    message(FATAL_ERROR "${linux} is not installed; scripts/setup installs it")
  endif()
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/debian-source ${source} ${version} ${TOVANI_DEBIAN_SOURCES}
                  OUTPUT_VARIABLE dir OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not fetch the Debian source of ${source} ${version}")
  endif()
  set(${out_dir} ${dir} PARENT_SCOPE)
  set(${out_version} ${version} PARENT_SCOPE)
endfunction()

# tovani_windows_sqlite3(TARGET): the shared library sqlite3.dll as TARGET, from
# the amalgamation of Debian's source, with the compile options of Debian's
# Linux engine.
function(tovani_windows_sqlite3 target)
  tovani_debian_source(sqlite3 libsqlite3-dev src version)

  # The amalgamation is made once per version, beside the source.
  set(amalgamation ${TOVANI_DEBIAN_SOURCES}/sqlite3-amalgamation-${version})
  file(LOCK ${TOVANI_DEBIAN_SOURCES}/.amalgamation.lock)
  if(NOT EXISTS ${amalgamation}/sqlite3.c)
    message(STATUS "Making the SQLite amalgamation of ${version}")
    file(REMOVE_RECURSE ${amalgamation})
    file(MAKE_DIRECTORY ${amalgamation}/work)
    execute_process(COMMAND ${src}/configure --disable-tcl
                    WORKING_DIRECTORY ${amalgamation}/work
                    OUTPUT_QUIET RESULT_VARIABLE rc)
    if(rc EQUAL 0)
      execute_process(COMMAND make sqlite3.c WORKING_DIRECTORY ${amalgamation}/work
                      OUTPUT_QUIET RESULT_VARIABLE rc)
    endif()
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "making the SQLite amalgamation failed (needs tcl; scripts/setup installs it)")
    endif()
    file(COPY ${amalgamation}/work/sqlite3.h ${amalgamation}/work/sqlite3ext.h DESTINATION ${amalgamation})
    file(RENAME ${amalgamation}/work/sqlite3.c ${amalgamation}/sqlite3.c)  # last: it marks completion
    file(REMOVE_RECURSE ${amalgamation}/work)
  endif()
  file(LOCK ${TOVANI_DEBIAN_SOURCES}/.amalgamation.lock RELEASE)

  # Debian's options are the -DSQLITE_* of the CFLAGS in debian/rules, plus
  # what Debian's configure switches add. Taken from the rules themselves so
  # that both systems keep the same engine when Debian changes them.
  file(READ ${src}/debian/rules rules)
  string(REGEX MATCH "export CFLAGS \\+=([^\n]*\\\\\n)*[^\n]*" cflags "${rules}")
  string(REGEX MATCHALL "-DSQLITE_[A-Za-z0-9_]+(=[A-Za-z0-9_]+)?" options "${cflags}")
  if(NOT options MATCHES "SQLITE_ENABLE_RTREE" OR NOT options MATCHES "SQLITE_ENABLE_COLUMN_METADATA")
    message(FATAL_ERROR "no SQLite compile options found in ${src}/debian/rules")
  endif()
  foreach(feature fts4 fts5)
    if(rules MATCHES "--enable-${feature}")
      string(TOUPPER ${feature} name)
      list(APPEND options -DSQLITE_ENABLE_${name})
    endif()
  endforeach()
  # configure turns the SQL math functions on unless told otherwise.
  list(APPEND options -DSQLITE_ENABLE_MATH_FUNCTIONS)

  add_library(${target} SHARED ${amalgamation}/sqlite3.c)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME sqlite3 C_VISIBILITY_PRESET default)
  target_include_directories(${target} PUBLIC ${amalgamation})
  # The engine's code is Debian's: its own flags, none of our warnings.
  target_compile_options(${target} PRIVATE -O2 -fno-strict-aliasing -w ${options})
  target_compile_definitions(${target} PRIVATE "SQLITE_API=__declspec(dllexport)")
  # The version goes into the READMEs of every download this build makes.
  set(TOVANI_SQLITE3_VERSION ${version} CACHE INTERNAL "Debian version of the SQLite built as sqlite3.dll")
endfunction()

# tovani_windows_libffi(TARGET): libffi, cross-built from Debian's source as
# a static library, as TARGET.
function(tovani_windows_libffi target)
  tovani_debian_source(libffi libffi-dev src version)
  include(ExternalProject)
  string(REPLACE "-gcc-posix" "" triplet "${CMAKE_C_COMPILER}")
  get_filename_component(triplet ${triplet} NAME)
  set(prefix ${CMAKE_BINARY_DIR}/libffi)
  ExternalProject_Add(${target}_build
    SOURCE_DIR ${src}
    PREFIX ${prefix}
    INSTALL_DIR ${prefix}/install
    CONFIGURE_COMMAND ${src}/configure --host=${triplet} CC=${CMAKE_C_COMPILER}
      --enable-static --disable-shared --disable-docs --disable-multi-os-directory
      --prefix=<INSTALL_DIR> --quiet
    BUILD_COMMAND make -s
    INSTALL_COMMAND make -s install
    BUILD_BYPRODUCTS ${prefix}/install/lib/libffi.a
    LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)
  file(MAKE_DIRECTORY ${prefix}/install/include)
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION ${prefix}/install/lib/libffi.a
    INTERFACE_INCLUDE_DIRECTORIES ${prefix}/install/include)
  add_dependencies(${target} ${target}_build)
endfunction()
