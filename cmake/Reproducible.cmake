# The same sources give the same DLLs, byte for byte, whatever folder they are built in
# and whenever: the published SHA-256 sums can be checked by building the tagged sources.
#   - The linker writes no time into the PE file header or the export directory (both
#     stay 0), and so the header checksum no longer changes from one build to the next.
#   - Source and build folders are mapped to relative names wherever a path is kept
#     (__FILE__, debug information); the build folder's mapping comes last, so that it
#     wins when the build folder lies inside the sources.
#   - __DATE__ and __TIME__ are errors: the dialog's release stamp is fixed text.
# Objects are linked in the order the CMakeLists name them, archives carry no times
# (binutils' ar works in deterministic mode by default), and windres keeps no time or
# path in the resources. tools/release.sh --verify builds a second time elsewhere and
# compares the bytes.
if(NOT WIN32)
  return()
endif()
add_link_options(LINKER:--no-insert-timestamp)
add_compile_options(
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>"
  "$<$<COMPILE_LANGUAGE:C,CXX>:-Werror=date-time>")
