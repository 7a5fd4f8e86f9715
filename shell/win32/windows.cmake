# The Windows program, cross-compiled with MinGW-w64: included by the top-level list when
# the toolchain (cmake/toolchains/) targets Windows.
set(PUZZLE_WIN32_DIR ${PROJECT_SOURCE_DIR}/shell/win32)

# The resource script is written from the resource tables by a generator built for the
# machine that builds.
include(ExternalProject)
set(PUZZLE_SCRIPT_WRITER_DIR ${PROJECT_BINARY_DIR}/resource_script_writer)
ExternalProject_Add(resource_script_writer
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/shell/resource_script
  BINARY_DIR ${PUZZLE_SCRIPT_WRITER_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${PUZZLE_SCRIPT_WRITER_DIR}/write_resource_script)

set(PUZZLE_RESOURCE_SCRIPT ${PROJECT_BINARY_DIR}/generated/brindlewick-puzzle.rc)
set(PUZZLE_MANIFEST ${PUZZLE_WIN32_DIR}/brindlewick-puzzle.manifest)
add_custom_command(
  OUTPUT ${PUZZLE_RESOURCE_SCRIPT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/generated
  COMMAND ${PUZZLE_SCRIPT_WRITER_DIR}/write_resource_script ${PUZZLE_RESOURCE_SCRIPT} ${PROJECT_SOURCE_DIR}
          ${PUZZLE_MANIFEST} ${PROJECT_VERSION}
  COMMAND ${CMAKE_COMMAND} -E touch ${PUZZLE_RESOURCE_SCRIPT}
  DEPENDS resource_script_writer ${PROJECT_SOURCE_DIR}/resources/resource_tables.cpp ${PUZZLE_MANIFEST}
          ${PROJECT_SOURCE_DIR}/resources/bitmaps/picture.bmp ${PROJECT_SOURCE_DIR}/resources/bitmaps/digits.bmp
          ${PROJECT_SOURCE_DIR}/resources/bitmaps/faces.bmp ${PROJECT_SOURCE_DIR}/resources/cursors/hand.cur
          ${PROJECT_SOURCE_DIR}/resources/icons/program.ico
  COMMENT "Writing the resource script from the resource tables"
  VERBATIM)

# The picture pieces the desktop hosts share. Their stb_image header is Debian's, seen
# through a folder of its own: /usr/include itself would hide MinGW's C headers.
set(PUZZLE_STB_DIR ${PROJECT_BINARY_DIR}/stb-include)
file(MAKE_DIRECTORY ${PUZZLE_STB_DIR})
file(CREATE_LINK /usr/include/stb ${PUZZLE_STB_DIR}/stb SYMBOLIC)
set(STB_INCLUDE_DIR ${PUZZLE_STB_DIR} CACHE PATH "stb_image's headers" FORCE)
add_subdirectory(shell/pictures)
# As a system header, as it is in /usr/include: its warnings are not ours.
target_include_directories(puzzle_pictures SYSTEM PRIVATE ${PUZZLE_STB_DIR})

# The host: everything that sees windows.h.
add_library(puzzle_win32 STATIC
  ${PUZZLE_WIN32_DIR}/win32_host.cpp
  ${PUZZLE_WIN32_DIR}/win32_registry.cpp
  ${PUZZLE_WIN32_DIR}/ddraw_display.cpp
  ${PUZZLE_WIN32_DIR}/wic_decoder.cpp
  ${PUZZLE_WIN32_DIR}/program_resources.cpp)
target_link_libraries(puzzle_win32 PUBLIC puzzle_pictures puzzle_core ddraw dxguid ole32 uuid windowscodecs comdlg32 gdi32 user32
                      advapi32 shell32)
target_compile_options(puzzle_win32 PRIVATE ${PUZZLE_WARNINGS})
target_compile_definitions(puzzle_win32 PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)

add_executable(brindlewick-puzzle WIN32 ${PUZZLE_WIN32_DIR}/main.cpp ${PUZZLE_RESOURCE_SCRIPT})
target_link_libraries(brindlewick-puzzle PRIVATE puzzle_win32)
target_compile_options(brindlewick-puzzle PRIVATE ${PUZZLE_WARNINGS})
set_target_properties(brindlewick-puzzle PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

# The help file, compiled from the help pages beside the program (in a copy of them:
# the compiler writes where its project lies).
find_program(PUZZLE_CHMCMD chmcmd REQUIRED)
file(GLOB PUZZLE_HELP_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/help/*)
set(PUZZLE_HELP_FILE "${PROJECT_BINARY_DIR}/brindlewick puzzle help.chm")
add_custom_command(
  OUTPUT ${PUZZLE_HELP_FILE}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/resources/help help-pages
  COMMAND ${CMAKE_COMMAND} -E chdir help-pages ${PUZZLE_CHMCMD} --no-html-scan "brindlewick puzzle help.hhp"
  COMMAND ${CMAKE_COMMAND} -E copy "help-pages/brindlewick puzzle help.chm" ${PUZZLE_HELP_FILE}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  DEPENDS ${PUZZLE_HELP_FILES}
  COMMENT "Compiling the help file"
  VERBATIM)
add_custom_target(help_file ALL DEPENDS ${PUZZLE_HELP_FILE})

if(PUZZLE_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/windows)
  # The measuring program: start-up and a slide's cost under Wine (bench/README.md).
  add_executable(measure_windows ${PROJECT_SOURCE_DIR}/bench/windows/measure_windows.cpp ${PUZZLE_RESOURCE_SCRIPT})
  target_link_libraries(measure_windows PRIVATE puzzle_win32)
  target_compile_options(measure_windows PRIVATE ${PUZZLE_WARNINGS})
endif()

# What an installation holds: the program and its help file, side by side.
install(TARGETS brindlewick-puzzle RUNTIME DESTINATION .)
install(FILES ${PUZZLE_HELP_FILE} DESTINATION .)

# The installer (NSIS) and a zip of the same files for those who don't install. The
# uninstaller removes what was installed; the player's settings and records stay in the
# registry.
# The installer runs as the program does: a 64-bit installer for the 64-bit program.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(PUZZLE_WINDOWS_KIND win64)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
else()
  set(PUZZLE_WINDOWS_KIND win32)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
  set(CPACK_NSIS_DEFINES "Target x86-unicode")
endif()
set(CPACK_PACKAGE_NAME "brindlewick-puzzle")
set(CPACK_PACKAGE_VENDOR "brindlewick")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "brindlewick Puzzle, a sliding picture puzzle")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "brindlewick-puzzle-${PROJECT_VERSION}-${PUZZLE_WINDOWS_KIND}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "brindlewick Puzzle")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "brindlewick Puzzle")
set(CPACK_PACKAGE_EXECUTABLES "brindlewick-puzzle" "brindlewick Puzzle")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_NSIS_PACKAGE_NAME "brindlewick Puzzle")
set(CPACK_NSIS_DISPLAY_NAME "brindlewick Puzzle")
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/resources/icons/program.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/resources/icons/program.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME "brindlewick-puzzle.exe")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MENU_LINKS "brindlewick puzzle help.chm" "brindlewick Puzzle Help")
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
