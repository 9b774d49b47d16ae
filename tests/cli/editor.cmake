# `marovex editor` in a real window (under Xvfb, when installed), and heard through JACK.
if(TARGET marovex)
  # Exit status 77 (no Xvfb or xdotool on this machine) counts as skipped.
  add_test(NAME marovex_editor_e2e
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/test_editor_e2e.sh $<TARGET_FILE:marovex>)
  set_tests_properties(marovex_editor_e2e PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60 LABELS marovex_editor_e2e)
  # The controls engineers reach for, the preset dialogs' answers and a killed X connection, under a
  # window manager.
  add_test(NAME marovex_editor_controls_e2e
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/test_editor_controls_e2e.sh $<TARGET_FILE:marovex>)
  set_tests_properties(marovex_editor_controls_e2e PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120
    LABELS marovex_editor_e2e)

  # Heard through JACK's dummy driver: the editor's output ports, recorded, against `marovex process`.
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TEST_JACK IMPORTED_TARGET jack)
  if(TEST_JACK_FOUND)
    add_executable(test_editor_sound ${CMAKE_CURRENT_LIST_DIR}/test_editor_sound.cpp)
    target_link_libraries(test_editor_sound PRIVATE PkgConfig::TEST_JACK PkgConfig::SNDFILE marovex_warnings)
    target_include_directories(test_editor_sound PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(test_editor_sound PRIVATE MAROVEX_CLI_PROGRAM="$<TARGET_FILE:marovex>")
    add_dependencies(test_editor_sound marovex)
    add_test(NAME marovex_editor_sound COMMAND test_editor_sound)
    # In the sanitizer build the editor's font and X11 libraries keep caches they never free.
    set_tests_properties(marovex_editor_sound PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120 RUN_SERIAL TRUE LABELS marovex_editor_e2e
      ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/gui-leaks.supp;ASAN_OPTIONS=fast_unwind_on_malloc=0")
  endif()
endif()
