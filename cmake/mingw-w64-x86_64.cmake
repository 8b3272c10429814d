# zav5.exe for 64-bit Windows: for stores that have Microsoft's 64-bit Access Database Engine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZAV5_MINGW_TRIPLET x86_64-w64-mingw32)
set(ZAV5_WINE_BITS 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
