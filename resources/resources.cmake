# The editor's artwork: a small cairo program draws the background and the two knob film strips, and
# the build runs it into the bundle's Contents/Resources. Its output depends only on its source and
# the installed fonts, so every build of one machine makes the same files.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ARTWORK_DEPS REQUIRED IMPORTED_TARGET cairo pangocairo)
# The owners' deleters are compiled into the tool itself: outside the address sanitizer's build it is
# built without the sanitizers (below), which a library compiled with them would need.
add_executable(marovex-artwork ${CMAKE_CURRENT_LIST_DIR}/MakeArtwork.cpp ${CMAKE_SOURCE_DIR}/toolkit/source/owned_cairo.cpp)
target_include_directories(marovex-artwork PRIVATE ${CMAKE_SOURCE_DIR}/toolkit)
target_link_libraries(marovex-artwork PRIVATE PkgConfig::ARTWORK_DEPS marovex_warnings)
set(_artwork_run marovex-artwork)
if(MAROVEX_SANITIZE)
  # The sanitizer build runs the tool under the address sanitizer's leak checker, so a cairo or pango
  # object it forgets to free fails the build. Only the font and text libraries' process-wide caches
  # are excused (the suppressions the drawing tests use).
  target_sources(marovex-artwork PRIVATE ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp)
  set(_artwork_run ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=print_suppressions=0
    $<TARGET_FILE:marovex-artwork>)
else()
  # Other builds (the thread sanitizer's, the fuzzers') build the tool plainly.
  set_property(TARGET marovex-artwork PROPERTY COMPILE_OPTIONS -ffp-contract=off)
  set_property(TARGET marovex-artwork PROPERTY LINK_OPTIONS "")
endif()
set(MAROVEX_ARTWORK
  ${MAROVEX_RESOURCES_DIR}/Marovex_sfondo.png
  ${MAROVEX_RESOURCES_DIR}/Knob_Vintage_2_Silver_50.png
  ${MAROVEX_RESOURCES_DIR}/Knob_Vintage_2_Silver_30.png)
add_custom_command(OUTPUT ${MAROVEX_ARTWORK}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MAROVEX_RESOURCES_DIR}
  COMMAND ${_artwork_run} ${MAROVEX_RESOURCES_DIR}
  DEPENDS marovex-artwork
  COMMENT "Drawing the editor's artwork")
add_custom_target(marovex_artwork ALL DEPENDS ${MAROVEX_ARTWORK})
