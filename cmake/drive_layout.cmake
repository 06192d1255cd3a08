# The directories of drive C as the program names them (intake/paths.h, their one
# home), for what is not C++: the installer script and the test scripts read
# ${CMAKE_BINARY_DIR}/drive-layout.txt (the service's directory, then the host
# programs' directories in the watch's order) and the installer includes
# drive_dirs.nsh. Re-read whenever paths.h changes.
set(_paths ${CMAKE_SOURCE_DIR}/intake/paths.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_paths})
file(READ ${_paths} _text)
string(REGEX MATCH "kServiceDirName = \"([^\"]+)\"" _m "${_text}")
set(_service ${CMAKE_MATCH_1})
string(REGEX MATCH "kHostDirs = {([^}]*)}" _m "${_text}")
string(REGEX MATCHALL "\"[^\"]+\"" _hosts "${CMAKE_MATCH_1}")
string(REPLACE "\"" "" _hosts "${_hosts}")
list(LENGTH _hosts _count)
if(NOT _service OR NOT _count EQUAL 7)
  message(FATAL_ERROR "drive_layout.cmake: cannot read the directories from ${_paths}")
endif()
set(NORVEXA_DRIVE_DIRS ${_service} ${_hosts})
string(REPLACE ";" "\n" _lines "${NORVEXA_DRIVE_DIRS}")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/drive-layout.txt CONTENT "${_lines}\n")
set(_nsh "")
foreach(d ${NORVEXA_DRIVE_DIRS})
  string(APPEND _nsh "  CreateDirectory \"C:\\${d}\"\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/drive_dirs.nsh CONTENT "${_nsh}")
