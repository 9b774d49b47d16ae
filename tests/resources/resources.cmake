# The artwork generator: deterministic output of the sizes the editor's layout expects.
marovex_add_test(test_artwork
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_artwork.cpp
  LIBS PkgConfig::ARTWORK_DEPS)
target_compile_definitions(test_artwork PRIVATE MAROVEX_ARTWORK_PROGRAM="$<TARGET_FILE:marovex-artwork>")
add_dependencies(test_artwork marovex-artwork)
