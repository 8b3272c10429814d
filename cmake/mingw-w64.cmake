# Cross-compiling zav5.exe with Debian's MinGW-w64 compilers, for the Windows that
# mingw-w64-i686.cmake or mingw-w64-x86_64.cmake names: they set ZAV5_MINGW_TRIPLET,
# CMAKE_SYSTEM_PROCESSOR and ZAV5_WINE_BITS, then include this file.
#
# The POSIX-threads variants are the ones that have std::mutex and std::thread, which GoogleTest
# needs. Everything is linked statically, so zav5.exe is one file that runs on a bare Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${ZAV5_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAV5_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAV5_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZAV5_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under the Wine of their bitness, in the project's own Wine prefix for it.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh
                                  --${ZAV5_WINE_BITS})
