# Offline throughput of the host's in-caller path against the bare kernel: marovex_host_bench.
add_executable(marovex_host_bench ${CMAKE_CURRENT_LIST_DIR}/host_bench.cpp)
target_link_libraries(marovex_host_bench PRIVATE marovex_host tandrel_kernel marovex_demo_signal
  benchmark::benchmark marovex_warnings)
target_include_directories(marovex_host_bench PRIVATE ${CMAKE_SOURCE_DIR}/effect)
target_compile_definitions(marovex_host_bench PRIVATE MAROVEX_MODULE_PATH="$<TARGET_FILE:Marovex>")
add_dependencies(marovex_host_bench Marovex)
set_target_properties(marovex_host_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MAROVEX_BIN_DIR})
