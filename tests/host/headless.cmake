# The module and the program without graphics: the built module, LV2 plug-in library and program,
# and a copy of the bundle without its editor library.
if(TARGET marovex AND TARGET MarovexLv2)
  marovex_add_test(test_host_headless
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_host_headless.cpp ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
    LIBS marovex_host PkgConfig::SNDFILE)
  target_compile_definitions(test_host_headless PRIVATE
    MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>" MAROVEX_CLI_PROGRAM="$<TARGET_FILE:marovex>"
    MAROVEX_LV2_BUNDLE="${MAROVEX_LV2_DIR}" MAROVEX_CMAKE_COMMAND="${CMAKE_COMMAND}"
    MAROVEX_BUILD_DIR="${CMAKE_BINARY_DIR}" MAROVEX_GUI_LEAKS_SUPPRESSIONS="${CMAKE_SOURCE_DIR}/tests/gui-leaks.supp")
  add_dependencies(test_host_headless marovex marovex_lv2_bundle)
endif()
