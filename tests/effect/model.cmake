# Tests of the effect's data model: the parameter set and the base behaviour through it, packets and
# coefficient blocks, the state chunk, and an edit carried end to end into the kernel.
marovex_add_test(test_tandrel_parameters
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_tandrel_parameters.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_tandrel_parameters_coefs.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_tandrel_parameters_chunk.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_tandrel_parameters_e2e.cpp
  LIBS tandrel_model)
