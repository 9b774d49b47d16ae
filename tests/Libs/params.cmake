# Tests of the parameter model: one program per class or small group of classes.
find_package(Threads REQUIRED)
marovex_add_test(test_params_string
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_params_string.cpp
  LIBS aaxlib_params)
marovex_add_test(test_params_unknown
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_params_unknown.cpp
  LIBS aaxlib_params Threads::Threads
  LABELS threads)
marovex_add_test(test_params_delegates
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_params_delegates.cpp
  LIBS aaxlib_params)
marovex_add_test(test_params_parameter
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_params_parameter.cpp
  LIBS aaxlib_params)
marovex_add_test(test_params_manager
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_params_manager.cpp
  LIBS aaxlib_params)
