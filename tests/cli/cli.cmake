# The marovex program: its envelopes in-process, and the built program run as a user would.
find_package(nlohmann_json REQUIRED)
if(TARGET marovex)
  marovex_add_test(test_cli_envelope
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cli_envelope.cpp
    LIBS marovex_cli_core)

  marovex_add_test(test_cli_program
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cli_program.cpp
    LIBS tandrel_kernel marovex_preset PkgConfig::SNDFILE nlohmann_json::nlohmann_json)
  target_compile_definitions(test_cli_program PRIVATE MAROVEX_CLI_PROGRAM="$<TARGET_FILE:marovex>"
    MAROVEX_CMAKE_COMMAND="${CMAKE_COMMAND}" MAROVEX_BUILD_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(test_cli_program marovex)

  # The command line run through the built program: value readers, option order, escaped messages.
  marovex_add_test(test_cli_arguments
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cli_arguments.cpp
    LIBS PkgConfig::SNDFILE)
  target_compile_definitions(test_cli_arguments PRIVATE MAROVEX_CLI_PROGRAM="$<TARGET_FILE:marovex>"
    MAROVEX_GUI_LEAKS_SUPPRESSIONS="${CMAKE_SOURCE_DIR}/tests/gui-leaks.supp")
  add_dependencies(test_cli_arguments marovex)
endif()

# The pictures, drawn in-process and read back pixel by pixel.
if(TARGET marovex_cli_core)
  marovex_add_test(test_cli_plots
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cli_plots.cpp ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
    LIBS marovex_cli_drawing PkgConfig::SNDFILE)
  target_compile_definitions(test_cli_plots PRIVATE MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>")
  add_dependencies(test_cli_plots Marovex)
endif()

# The program against hostile input: outputs that are inputs or protected files, leftovers of killed
# runs, endless and stalled pipes, stop signals, a closed standard error, damaged states and files.
if(TARGET marovex)
  marovex_add_test(test_cli_hostile
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cli_hostile.cpp
    LIBS PkgConfig::SNDFILE nlohmann_json::nlohmann_json)
  target_compile_definitions(test_cli_hostile PRIVATE MAROVEX_CLI_PROGRAM="$<TARGET_FILE:marovex>"
    MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>"
    MAROVEX_GUI_LEAKS_SUPPRESSIONS="${CMAKE_SOURCE_DIR}/tests/gui-leaks.supp")
  add_dependencies(test_cli_hostile marovex)
endif()
