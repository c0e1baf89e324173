cmake_minimum_required(VERSION 3.25)

# Fails when a folder includes a header of a folder it must not depend on, so
# that the dependencies keep running one way:
#   tools, shell -> views, reader;  reader -> cards, platform
#   views -> store, names, cards        store, names -> database
# and that the window's behaviour (the files directly in shell/) knows no
# toolkit: no Qt header, nothing of a window's own folder (shell/qt/, ...);
# every folder may use platform/os (the operating system's seam).
# Run by CTest: cmake -DSOURCE_DIR=<tree> -P check_includes.cmake

set(allowed_database database)
set(allowed_cards cards)
set(allowed_platform platform)
set(allowed_store store database cards)
set(allowed_names names database)
set(allowed_reader reader cards platform)
set(allowed_views views store names cards database)
set(allowed_tools tools reader store names cards platform database views)
set(allowed_shell shell tools views reader store names cards platform database)

set(faults "")
foreach(folder database cards platform store names reader views tools shell)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+/")
    foreach(line ${lines})
      if(line MATCHES "\"platform/os/")
        continue()
      endif()
      string(REGEX REPLACE "^[^\"]*\"([^/\"]+)/.*$" "\\1" target "${line}")
      if(NOT target IN_LIST allowed_${folder})
        file(RELATIVE_PATH where ${SOURCE_DIR} ${source})
        string(APPEND faults "  ${where}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

file(GLOB behaviour ${SOURCE_DIR}/shell/*.h ${SOURCE_DIR}/shell/*.cpp)
foreach(source ${behaviour})
  file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*(<Q|\"shell/[^\"]+/)")
  foreach(line ${lines})
    file(RELATIVE_PATH where ${SOURCE_DIR} ${source})
    string(APPEND faults "  ${where}: ${line} (the behaviour knows no toolkit)\n")
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes against the dependency direction:\n${faults}")
endif()
