# The download for Windows users: TovaniViewer-<version>-win64-tools.zip with
# the window TovaniViewer.exe (where this build makes it) and the tools,
# Rowgate.dll and sqlite3.dll, the portable marker, the sample
# station lists and card images, and a README in English and Japanese. The
# programs ship without their debugging symbols.

set(SQLITE_VERSION ${TOVANI_SQLITE3_VERSION})  # of the sqlite3.dll that rowgate/ built
set(tools_readme ${CMAKE_CURRENT_BINARY_DIR}/tools-zip/README.txt)
configure_file(${CMAKE_SOURCE_DIR}/tools/windows/README.txt.in ${tools_readme} @ONLY NEWLINE_STYLE CRLF)
set(tools_zip ${CMAKE_BINARY_DIR}/TovaniViewer-${PROJECT_VERSION}-win64-tools.zip)
set(tools_stage ${CMAKE_BINARY_DIR}/tools-zip/TovaniViewer-${PROJECT_VERSION})
file(GLOB tools_sample_cards ${CMAKE_SOURCE_DIR}/samples/cards/*.json)
set(tools_programs tovani-card tovani-view tovani-import-stations rowgate sqlite3)
if(TARGET TovaniViewer)
  list(PREPEND tools_programs TovaniViewer)
endif()
set(tools_files)
set(tools_stripped)
foreach(t ${tools_programs})
  list(APPEND tools_files $<TARGET_FILE:${t}>)
  list(APPEND tools_stripped ${tools_stage}/$<TARGET_FILE_NAME:${t}>)
endforeach()
add_custom_command(OUTPUT ${tools_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${tools_zip} ${tools_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${tools_stage}/samples/cards
  COMMAND ${CMAKE_COMMAND} -E copy ${tools_files} ${tools_readme} ${portable_marker}
          ${CMAKE_SOURCE_DIR}/samples/stations/StationCode.csv ${CMAKE_SOURCE_DIR}/samples/stations/irucabus.csv
          ${tools_stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${tools_sample_cards} ${tools_stage}/samples/cards
  COMMAND ${CMAKE_STRIP} --strip-all ${tools_stripped}
  COMMAND ${CMAKE_COMMAND} -E chdir ${tools_stage}/.. zip -q -r -X ${tools_zip} TovaniViewer-${PROJECT_VERSION}
  DEPENDS ${tools_programs} ${tools_readme} ${portable_marker} ${tools_sample_cards}
          ${CMAKE_SOURCE_DIR}/samples/stations/StationCode.csv ${CMAKE_SOURCE_DIR}/samples/stations/irucabus.csv
  COMMENT "TovaniViewer-${PROJECT_VERSION}-win64-tools.zip" VERBATIM)
add_custom_target(tools_zip ALL DEPENDS ${tools_zip})
