# Tests of the effect data-model library: dispatcher and mutex, the dispatcher across threads,
# chunk parser, host wrappers and the data-model base as a component object.
marovex_add_test(test_model_dispatcher
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_model_dispatcher.cpp
  LIBS aaxlib_model)
# Threaded: also built and run under ThreadSanitizer (select with ctest -L threads).
marovex_add_test(test_model_threads
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_model_threads.cpp
  LIBS aaxlib_model
  LABELS threads)
marovex_add_test(test_model_chunk_parser
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_model_chunk_parser.cpp
  LIBS aaxlib_model)
marovex_add_test(test_model_wrappers
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_model_wrappers.cpp
  LIBS aaxlib_model)
