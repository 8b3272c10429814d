# The libraries of the Windows build. Debian ships them for Linux only, so they come from source:
# SQLite from the amalgamation that scripts/install-deps-windows.sh makes out of Debian's sqlite3
# source package, {fmt} and CLI11 header-only from Debian's headers, GoogleTest from Debian's
# sources in /usr/src/googletest, and ODBC from Windows itself (odbc32).

set(ZAV5_SQLITE_AMALGAMATION "${CMAKE_SOURCE_DIR}/build/third_party/sqlite3"
    CACHE PATH "Folder with sqlite3.c and sqlite3.h for the Windows build")
if(NOT EXISTS "${ZAV5_SQLITE_AMALGAMATION}/sqlite3.c")
  message(FATAL_ERROR "No sqlite3.c in ${ZAV5_SQLITE_AMALGAMATION}: "
                      "run scripts/install-deps-windows.sh first")
endif()
enable_language(C)
add_library(zav5_sqlite3 STATIC "${ZAV5_SQLITE_AMALGAMATION}/sqlite3.c")
target_include_directories(zav5_sqlite3 SYSTEM PUBLIC "${ZAV5_SQLITE_AMALGAMATION}")
target_compile_definitions(zav5_sqlite3 PRIVATE SQLITE_THREADSAFE=1 SQLITE_OMIT_LOAD_EXTENSION
                                                SQLITE_DQS=0)
# Not our code: its warnings are not ours to fix.
target_compile_options(zav5_sqlite3 PRIVATE -w)
add_library(SQLite::SQLite3 ALIAS zav5_sqlite3)

add_library(ODBC::ODBC INTERFACE IMPORTED)
set_target_properties(ODBC::ODBC PROPERTIES INTERFACE_LINK_LIBRARIES odbc32)

# Only the header folders of the two libraries, never /usr/include as a whole: the host's system
# headers would shadow MinGW's.
set(ZAV5_HOST_HEADERS "${CMAKE_BINARY_DIR}/host_headers")
file(MAKE_DIRECTORY "${ZAV5_HOST_HEADERS}")
foreach(folder fmt CLI)
  if(NOT EXISTS "/usr/include/${folder}")
    message(FATAL_ERROR "/usr/include/${folder} is missing: run scripts/install-deps.sh first")
  endif()
  if(NOT EXISTS "${ZAV5_HOST_HEADERS}/${folder}")
    file(CREATE_LINK "/usr/include/${folder}" "${ZAV5_HOST_HEADERS}/${folder}" SYMBOLIC)
  endif()
endforeach()
add_library(fmt::fmt INTERFACE IMPORTED)
set_target_properties(fmt::fmt PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${ZAV5_HOST_HEADERS}"
                                          INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${ZAV5_HOST_HEADERS}")

if(ZAV5_BUILD_TESTS)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "/usr/src/googletest is missing: run scripts/install-deps.sh first")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
endif()
