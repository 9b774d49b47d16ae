# The editor as the host meets it: the host's view container and the editor built from the loaded
# module and drawn offscreen.
marovex_add_test(test_host_editor
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_host_editor.cpp ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
  LIBS marovex_host)
target_compile_definitions(test_host_editor PRIVATE MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>")
add_dependencies(test_host_editor Marovex)
