# libmarovex_graphics.so: the program's drawing (the level and response pictures, the editor command
# and its sound) with cairo, pango, X11 and the audio libraries, which the program loads the first
# time it draws (Graphics.h). In lib/marovex/ beside bin/, in the build tree and installed alike.
add_library(marovex_graphics MODULE ${CMAKE_CURRENT_LIST_DIR}/GraphicsLibrary.cpp)
target_link_libraries(marovex_graphics PRIVATE marovex_cli_drawing marovex_warnings)
# -z nodelete: the text libraries register types with the process-wide object system, which keeps
# pointers into their code (the program never closes it either).
target_link_options(marovex_graphics PRIVATE
  -Wl,--gc-sections
  -Wl,-z,nodelete
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/graphics.map
  -Wl,--no-undefined
  -Wl,--require-defined=marovex_graphics_functions)
set_target_properties(marovex_graphics PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/marovex
  LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/graphics.map)
add_dependencies(marovex marovex_graphics)
install(TARGETS marovex_graphics LIBRARY DESTINATION lib/marovex)
