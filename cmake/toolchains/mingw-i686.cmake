# Cross-compiles the Windows program with MinGW-w64 (i686).
set(PUZZLE_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
