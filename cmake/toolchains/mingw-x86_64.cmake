# Cross-compiles the Windows program with MinGW-w64 (x86_64).
set(PUZZLE_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
