# The test scripts' stages (scripts/stages.sh): what they count, and the README's order (the main job,
# then the tests, in one tree). It configures the project into a scratch folder, twice; the plain
# build runs it (the sanitizers have nothing to watch in it).
if(NOT MAROVEX_SANITIZE AND NOT MAROVEX_TSAN AND NOT MAROVEX_FUZZ)
  get_filename_component(_cmake_bin ${CMAKE_COMMAND} DIRECTORY)
  add_test(NAME scripts_stages COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/test_scripts.sh)
  set_tests_properties(scripts_stages PROPERTIES LABELS scripts TIMEOUT 180
    ENVIRONMENT_MODIFICATION "PATH=path_list_prepend:${_cmake_bin}")
endif()
