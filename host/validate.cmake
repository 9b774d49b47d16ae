# `marovex validate`: the checks, linked into the program, and the interposer library that the
# real-time check preloads into its child process (it sits beside the program).
add_library(marovex_validate STATIC
  ${CMAKE_CURRENT_LIST_DIR}/validate/ValidateCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/validate/CheckSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/validate/ChecksAudio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/validate/ChecksModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/validate/ChecksThreads.cpp)
target_include_directories(marovex_validate PUBLIC ${CMAKE_CURRENT_LIST_DIR}/validate)
# The golden renders of the effect live with the tests; the program built from this tree finds them.
target_compile_definitions(marovex_validate PRIVATE MAROVEX_GOLDEN_DIR="${CMAKE_SOURCE_DIR}/tests/host/golden")
target_link_libraries(marovex_validate PUBLIC marovex_cli_core PRIVATE Threads::Threads marovex_warnings)
target_link_libraries(marovex PRIVATE marovex_validate)

# The interposer stands in front of malloc and friends, so it is built without sanitizers: their
# run-times interpose the same functions, and the interposer forwards to them.
add_library(marovex_rtwatch SHARED ${CMAKE_CURRENT_LIST_DIR}/validate/RealtimeWatch.cpp)
target_compile_options(marovex_rtwatch PRIVATE -fno-sanitize=all)
target_link_options(marovex_rtwatch PRIVATE -fno-sanitize=all)
target_link_libraries(marovex_rtwatch PRIVATE ${CMAKE_DL_LIBS} marovex_warnings)
set_target_properties(marovex_rtwatch PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${MAROVEX_BIN_DIR})
add_dependencies(marovex marovex_rtwatch)
