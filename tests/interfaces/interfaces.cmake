marovex_add_test(test_interfaces
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_interfaces.cpp
  LIBS aax_interfaces)
