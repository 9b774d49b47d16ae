# The editor's artwork: a small cairo program draws the background and the two knob film strips, and
# the build runs it into the bundle's Contents/Resources. Its output depends only on its source and
# the installed fonts, so every build of one machine makes the same files.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ARTWORK_DEPS REQUIRED IMPORTED_TARGET cairo pangocairo)
add_executable(marovex-artwork ${CMAKE_CURRENT_LIST_DIR}/MakeArtwork.cpp)
target_link_libraries(marovex-artwork PRIVATE PkgConfig::ARTWORK_DEPS marovex_warnings)
# A build-time tool: no sanitizers (the font libraries keep caches that the leak checker would
# report while the build runs it).
set_property(TARGET marovex-artwork PROPERTY COMPILE_OPTIONS -ffp-contract=off)
set_property(TARGET marovex-artwork PROPERTY LINK_OPTIONS "")
set(MAROVEX_ARTWORK
  ${MAROVEX_RESOURCES_DIR}/Marovex_sfondo.png
  ${MAROVEX_RESOURCES_DIR}/Knob_Vintage_2_Silver_50.png
  ${MAROVEX_RESOURCES_DIR}/Knob_Vintage_2_Silver_30.png)
add_custom_command(OUTPUT ${MAROVEX_ARTWORK}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MAROVEX_RESOURCES_DIR}
  COMMAND marovex-artwork ${MAROVEX_RESOURCES_DIR}
  DEPENDS marovex-artwork
  COMMENT "Drawing the editor's artwork")
add_custom_target(marovex_artwork ALL DEPENDS ${MAROVEX_ARTWORK})
