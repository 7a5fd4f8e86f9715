# Compiles the program's binary resources (bitmaps, icon, cursor) into a C++ source, so
# the program needs no files beside it to show its own artwork. Entries: kind|id|file.
set(PUZZLE_EMBEDDED_FILES
  "Bitmap|103|resources/bitmaps/picture.bmp"
  "Bitmap|104|resources/bitmaps/digits.bmp"
  "Bitmap|105|resources/bitmaps/faces.bmp"
  "Cursor|107|resources/cursors/hand.cur"
  "Icon|112|resources/icons/program.ico")

set(PUZZLE_EMBEDDED_SOURCE ${PROJECT_BINARY_DIR}/generated/embedded_resources.cpp)
set(_embed_inputs "")
foreach(entry IN LISTS PUZZLE_EMBEDDED_FILES)
  string(REGEX REPLACE "^[^|]*\\|[^|]*\\|" "" file "${entry}")
  list(APPEND _embed_inputs "${PROJECT_SOURCE_DIR}/${file}")
endforeach()
string(REPLACE ";" "," _embed_list "${PUZZLE_EMBEDDED_FILES}")

add_custom_command(
  OUTPUT ${PUZZLE_EMBEDDED_SOURCE}
  COMMAND ${CMAKE_COMMAND} "-DENTRIES=${_embed_list}" "-DROOT=${PROJECT_SOURCE_DIR}"
          "-DOUTPUT=${PUZZLE_EMBEDDED_SOURCE}" -P ${PROJECT_SOURCE_DIR}/cmake/write_embedded.cmake
  DEPENDS ${_embed_inputs} ${PROJECT_SOURCE_DIR}/cmake/write_embedded.cmake
  COMMENT "Embedding the program's resources"
  VERBATIM)
