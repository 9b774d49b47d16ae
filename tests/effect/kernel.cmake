# The algorithm records, the private-block reset, the process functions and the demo signal.
marovex_add_test(test_kernel_records
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_alg_records.cpp
  LIBS tandrel_kernel)
marovex_add_test(test_kernel_process
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_alg_process.cpp
  LIBS tandrel_kernel)
marovex_add_test(test_kernel_demo_signal
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_demo_signal.cpp
  LIBS tandrel_kernel marovex_demo_signal)
marovex_add_test(test_kernel_sine
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_alg_sine.cpp
  LIBS tandrel_kernel)
marovex_add_test(test_kernel_fast
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_alg_fast.cpp
  LIBS tandrel_kernel_reference)
