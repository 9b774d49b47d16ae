# The GUI toolkit on its own: controls, containers, reference counting and offscreen drawing.
marovex_add_test(test_toolkit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_toolkit_controls.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_toolkit_frame.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_toolkit_fileselector.cpp
          ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
  LIBS marovex_toolkit)

# The X11 clipboard under a virtual X server; its service threads also run under ThreadSanitizer.
marovex_add_test(test_toolkit_clipboard
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_toolkit_clipboard.cpp
  LIBS marovex_toolkit
  LABELS threads)
