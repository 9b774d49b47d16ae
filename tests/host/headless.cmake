# The module and the program without graphics: the built module, LV2 plug-in library and program,
# and a copy of the bundle without its editor library.
if(TARGET marovex AND TARGET MarovexLv2)
  marovex_add_test(test_host_headless
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_host_headless.cpp
    LIBS marovex_host PkgConfig::CLI_SNDFILE)
  target_compile_definitions(test_host_headless PRIVATE
    MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>" MAROVEX_CLI_PROGRAM="$<TARGET_FILE:marovex>"
    MAROVEX_LV2_BUNDLE="${MAROVEX_LV2_DIR}")
  add_dependencies(test_host_headless marovex marovex_lv2_bundle)
endif()
