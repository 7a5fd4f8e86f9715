# What both MinGW-w64 targets share; the target file sets PUZZLE_MINGW_TARGET first.
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${PUZZLE_MINGW_TARGET}")
# The posix threading model: the standard library's threads and mutexes (GoogleTest needs
# them); -static puts its runtime into the program too.
set(CMAKE_C_COMPILER ${PUZZLE_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PUZZLE_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${PUZZLE_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PUZZLE_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The C and C++ runtimes go into the program: nothing to ship beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Release programs ship without their symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
