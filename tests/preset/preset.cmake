marovex_add_test(test_preset_text
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_preset_text.cpp
  LIBS marovex_preset)
