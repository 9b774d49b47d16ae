# The preset text, the knob readouts and the palette (MarovexPalette.h), shared by the editor and the
# marovex program.
add_library(marovex_preset STATIC ${CMAKE_CURRENT_LIST_DIR}/MarovexPresetText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MarovexReadout.cpp)
target_include_directories(marovex_preset PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marovex_preset PRIVATE marovex_warnings)
