# The GUI toolkit on its own: controls, containers, reference counting and offscreen drawing.
marovex_add_test(test_toolkit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_toolkit_controls.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_toolkit_frame.cpp
          ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
  LIBS marovex_toolkit)
