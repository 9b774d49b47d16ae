# The LV2 bundle: loaded through lilv as hosts load it, and checked with the LV2 tools hosts and
# users run (lv2info, lv2_validate, lv2apply, lv2bench).
if(TARGET MarovexLv2)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TEST_LILV REQUIRED IMPORTED_TARGET lilv-0)
  marovex_add_test(test_lv2_plugin
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_lv2_plugin.cpp ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
    LIBS marovex_host PkgConfig::TEST_LILV PkgConfig::LV2)
  target_compile_definitions(test_lv2_plugin PRIVATE
    MAROVEX_LV2_BUNDLE="${MAROVEX_LV2_DIR}" MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>")
  add_dependencies(test_lv2_plugin marovex_lv2_bundle)
endif()

# The user interface's scale under Xvfb: the host's ui:scaleFactor option, else the desktop's.
if(TARGET MarovexLv2UI)
  find_package(X11 REQUIRED)
  marovex_add_test(test_lv2_ui_scale
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_lv2_ui_scale.cpp ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
    LIBS PkgConfig::LV2 X11::X11 ${CMAKE_DL_LIBS})
  target_compile_definitions(test_lv2_ui_scale PRIVATE MAROVEX_LV2_BUNDLE="${MAROVEX_LV2_DIR}")
  add_dependencies(test_lv2_ui_scale marovex_lv2_bundle)
endif()

# The tools are not built with our sanitizers: in a sanitizer build they get the runtime preloaded,
# so that they can load the instrumented plug-in.
set(_lv2_tool_env "")
if(MAROVEX_SANITIZE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so OUTPUT_VARIABLE _asan
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libubsan.so OUTPUT_VARIABLE _ubsan
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(_lv2_tool_env "LD_PRELOAD='${_asan} ${_ubsan}' ASAN_OPTIONS=detect_leaks=0")
endif()
if(TARGET MarovexLv2 AND TARGET marovex)
  marovex_add_test(test_lv2_tools
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_lv2_tools.cpp
    LIBS PkgConfig::SNDFILE)
  target_compile_definitions(test_lv2_tools PRIVATE
    MAROVEX_LV2_BUNDLE="${MAROVEX_LV2_DIR}" MAROVEX_CLI_PROGRAM="$<TARGET_FILE:marovex>"
    MAROVEX_TOOL_ENV="${_lv2_tool_env}" MAROVEX_CMAKE="${CMAKE_COMMAND}" MAROVEX_BUILD_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(test_lv2_tools marovex_lv2_bundle marovex)
endif()

# End to end under Xvfb: jalv with JACK's dummy driver shows the editor; a drag turns a knob, jalv's
# control port takes the new value (the plug-in traces it) and it is heard. Not in sanitizer builds (jalv cannot load instrumented libraries).
find_program(MAROVEX_PYTHON3 python3)
if(TARGET MarovexLv2UI AND MAROVEX_PYTHON3 AND NOT MAROVEX_SANITIZE AND NOT MAROVEX_TSAN)
  add_test(NAME lv2_jalv_editor_e2e
    COMMAND ${MAROVEX_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/jalv_editor_e2e.py ${MAROVEX_LV2_DIR})
  set_tests_properties(lv2_jalv_editor_e2e PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 90 RUN_SERIAL TRUE LABELS lv2_e2e)
endif()

# A user's session in Ardour 7, headless (ardour7-lua, Ardour's dummy backend): import, insert, set
# ports, export (bit-identical to `marovex process`), save, reopen, 32 instances playing. About 20
# to 60 s. Not in sanitizer builds (Ardour cannot load instrumented plug-ins); skipped only where
# ardour7-lua is not installed (scripts/deps.sh installs it).
if(TARGET MarovexLv2 AND TARGET marovex AND MAROVEX_PYTHON3 AND NOT MAROVEX_SANITIZE AND NOT MAROVEX_TSAN)
  add_test(NAME lv2_ardour_session
    COMMAND ${MAROVEX_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/ardour_session.py ${MAROVEX_LV2_DIR} $<TARGET_FILE:marovex>)
  set_tests_properties(lv2_ardour_session PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS lv2_e2e)
endif()

# run under the real-time watch (the interposer library of `marovex validate`), with and without a
# host worker. Not in the thread-sanitizer run: its run-time and the interposer cannot share malloc.
if(TARGET MarovexLv2 AND TARGET marovex_rtwatch)
  marovex_add_test(test_lv2_realtime
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_lv2_realtime.cpp
    LIBS marovex_host PkgConfig::LV2 ${CMAKE_DL_LIBS})
  target_compile_definitions(test_lv2_realtime PRIVATE
    MAROVEX_LV2_BUNDLE="${MAROVEX_LV2_DIR}" MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>"
    MAROVEX_RTWATCH_LIBRARY="$<TARGET_FILE:marovex_rtwatch>")
  add_dependencies(test_lv2_realtime marovex_lv2_bundle marovex_rtwatch)
endif()

# A host that misbehaves: the plug-in and user-interface libraries loaded with dlopen and called
# with what hosts have been seen to pass; and the state saved at once after a port change.
find_package(X11)
if(TARGET MarovexLv2 AND TARGET MarovexLv2UI AND TARGET marovex AND TARGET X11::X11)
  marovex_add_test(test_lv2_host_misbehaviour
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_lv2_host_misbehaviour.cpp ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
    LIBS marovex_host PkgConfig::LV2 PkgConfig::SNDFILE X11::X11 ${CMAKE_DL_LIBS})
  target_compile_definitions(test_lv2_host_misbehaviour PRIVATE
    MAROVEX_LV2_BUNDLE="${MAROVEX_LV2_DIR}" MAROVEX_CLI_PROGRAM="$<TARGET_FILE:marovex>"
    MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>")
  add_dependencies(test_lv2_host_misbehaviour marovex_lv2_bundle marovex)
endif()
