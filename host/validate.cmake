# `marovex validate`: the checks, linked into the program, the interposer library that the real-time
# check preloads into its child process, and the golden renders. The program finds the library in
# lib/marovex/ and the renders in share/marovex/golden/ relative to its own bin/, which the build tree
# and an installed prefix lay out alike.
add_library(marovex_validate STATIC
  ${CMAKE_CURRENT_LIST_DIR}/validate/ValidateCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/validate/CheckSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/validate/ChecksAudio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/validate/ChecksModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/validate/ChecksThreads.cpp)
target_include_directories(marovex_validate PUBLIC ${CMAKE_CURRENT_LIST_DIR}/validate)
target_link_libraries(marovex_validate PUBLIC marovex_cli_core PRIVATE Threads::Threads marovex_warnings)
target_link_libraries(marovex PRIVATE marovex_validate)

# The interposer stands in front of malloc and friends, so it is built without sanitizers: their
# run-times interpose the same functions, and the interposer forwards to them.
add_library(marovex_rtwatch SHARED ${CMAKE_CURRENT_LIST_DIR}/validate/RealtimeWatch.cpp)
target_compile_options(marovex_rtwatch PRIVATE -fno-sanitize=all)
target_link_options(marovex_rtwatch PRIVATE -fno-sanitize=all)
target_link_libraries(marovex_rtwatch PRIVATE ${CMAKE_DL_LIBS} marovex_warnings)
set_target_properties(marovex_rtwatch PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/marovex)
add_dependencies(marovex marovex_rtwatch)
install(TARGETS marovex_rtwatch LIBRARY DESTINATION lib/marovex)

# The golden renders are kept with the tests (tests/host/golden, rewritten with
# `marovex validate --write-golden --golden-dir tests/host/golden`); the build copies them.
file(GLOB _golden_renders CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/golden/*.f32)
set(_golden_build_dir ${CMAKE_BINARY_DIR}/share/marovex/golden)
set(_golden_copies)
foreach(_render IN LISTS _golden_renders)
  get_filename_component(_name ${_render} NAME)
  list(APPEND _golden_copies ${_golden_build_dir}/${_name})
endforeach()
add_custom_command(OUTPUT ${_golden_copies}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_golden_build_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${_golden_renders} ${_golden_build_dir}
  DEPENDS ${_golden_renders}
  COMMENT "Copying the golden renders")
add_custom_target(marovex_golden_renders DEPENDS ${_golden_copies})
add_dependencies(marovex marovex_golden_renders)
install(FILES ${_golden_renders} DESTINATION share/marovex/golden)
