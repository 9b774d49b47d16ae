# The editor, offscreen, against the effect's data model and a fake host. The program sits in a
# bundle of its own (Contents/x86_64-linux) beside a copy of the artwork (Contents/Resources), where
# the editor looks for it.
set(_editor_test_bundle ${CMAKE_BINARY_DIR}/tests/EditorTest.aaxplugin/Contents)
marovex_add_test(test_editor
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_editor_view.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_editor_gestures.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_editor_presets.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_editor_clipboard_x11.cpp
          ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
  LIBS tandrel_editor tandrel_model)
set_target_properties(test_editor PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${_editor_test_bundle}/x86_64-linux)
add_dependencies(test_editor marovex_artwork)
add_custom_command(TARGET test_editor POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_editor_test_bundle}/Resources
  COMMAND ${CMAKE_COMMAND} -E copy ${MAROVEX_ARTWORK} ${_editor_test_bundle}/Resources)
