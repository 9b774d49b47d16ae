# The LV2 bundle: loaded through lilv as hosts load it, and checked with the LV2 tools hosts and
# users run (lv2info, lv2_validate, lv2apply, lv2bench).
if(TARGET MarovexLv2)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TEST_LILV REQUIRED IMPORTED_TARGET lilv-0)
  marovex_add_test(test_lv2_plugin
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_lv2_plugin.cpp
    LIBS marovex_host PkgConfig::TEST_LILV PkgConfig::LV2)
  target_compile_definitions(test_lv2_plugin PRIVATE
    MAROVEX_LV2_BUNDLE="${MAROVEX_LV2_DIR}" MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>")
  add_dependencies(test_lv2_plugin marovex_lv2_bundle)
endif()
