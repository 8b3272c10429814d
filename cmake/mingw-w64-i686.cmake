# zav5.exe for 32-bit Windows, the store build: the Access driver that every Windows has
# ("Microsoft Access Driver (*.mdb)", Jet 4.0) exists for 32-bit programs only. It runs on 64-bit
# Windows too.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZAV5_MINGW_TRIPLET i686-w64-mingw32)
set(ZAV5_WINE_BITS 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
