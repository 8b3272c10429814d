# Cross-compiling zav5.exe for 64-bit Windows with Debian's MinGW-w64 compilers.
#
# The POSIX-threads variants are the ones that have std::mutex and std::thread, which GoogleTest
# needs. Everything is linked statically, so zav5.exe is one file that runs on a bare Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZAV5_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZAV5_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAV5_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAV5_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZAV5_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine, in the project's own Wine prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)

# GCC 12 reports overlapping copies inside std::string's own code when it inlines concatenations at
# -O2 and above (GCC bug 105329); the warning says nothing about our code.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
