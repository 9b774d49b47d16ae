# The host library, the loadable module it loads, and the module's own glue (entry points,
# description wrappers, editor base). The module tests dlopen the built Marovex.so.
marovex_add_test(test_host_module
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_host_module.cpp
  LIBS marovex_host)
target_compile_definitions(test_host_module PRIVATE MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>")
add_dependencies(test_host_module Marovex)

marovex_add_test(test_host_instance
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_host_instance.cpp
  LABELS threads
  LIBS marovex_host)
target_compile_definitions(test_host_instance PRIVATE MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>")
add_dependencies(test_host_instance Marovex)

marovex_add_test(test_host_wrappers
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_host_wrappers.cpp
  LIBS aaxlib_component tandrel_model)

# The description against logging description objects, in-process (the same sources the module
# builds from).
marovex_add_test(test_host_describe
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_host_describe.cpp
          ${CMAKE_SOURCE_DIR}/effect/Tandrel_Describe.cpp
  LIBS tandrel_editor aaxlib_component tandrel_model tandrel_kernel)
target_include_directories(test_host_describe PRIVATE ${CMAKE_SOURCE_DIR}/effect)

# A module that misbehaves on request, and how the host library copes with it.
add_library(test_host_misbehaving_module MODULE ${CMAKE_CURRENT_LIST_DIR}/test_host_misbehaving_module.cpp)
target_link_libraries(test_host_misbehaving_module PRIVATE aaxlib_component tandrel_model tandrel_kernel
  marovex_warnings)
target_link_options(test_host_misbehaving_module PRIVATE
  -Wl,--version-script=${CMAKE_SOURCE_DIR}/effect/Marovex.map -Wl,--no-undefined
  -Wl,--require-defined=ACFRegisterPlugin -Wl,--require-defined=ACFRegisterComponent
  -Wl,--require-defined=ACFGetClassFactory -Wl,--require-defined=ACFCanUnloadNow
  -Wl,--require-defined=ACFStartup -Wl,--require-defined=ACFShutdown -Wl,--require-defined=ACFGetSDKVersion)
set_target_properties(test_host_misbehaving_module PROPERTIES PREFIX "")
marovex_add_test(test_host_misbehaviour
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_host_misbehaviour.cpp
  LIBS marovex_host)
target_compile_definitions(test_host_misbehaviour PRIVATE
  MAROVEX_BAD_MODULE_PATH="$<TARGET_FILE:test_host_misbehaving_module>")
add_dependencies(test_host_misbehaviour test_host_misbehaving_module)

# The module loads whatever the allocator answers: no static initialiser of it allocates.
marovex_add_test(test_module_load_allocation
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_module_load_allocation.cpp ${CMAKE_SOURCE_DIR}/tests/GuiLeakSuppressions.cpp
  LIBS marovex_host)
target_compile_definitions(test_module_load_allocation PRIVATE MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>")
set_target_properties(test_module_load_allocation PROPERTIES ENABLE_EXPORTS ON)
add_dependencies(test_module_load_allocation Marovex)
