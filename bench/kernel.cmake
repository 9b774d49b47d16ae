# Speed of the process functions (a benchmark, not a test): marovex_kernel_bench.
add_executable(marovex_kernel_bench ${CMAKE_CURRENT_LIST_DIR}/kernel_bench.cpp)
target_link_libraries(marovex_kernel_bench PRIVATE tandrel_kernel_reference marovex_demo_signal benchmark::benchmark
  marovex_warnings)
set_target_properties(marovex_kernel_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MAROVEX_BIN_DIR})
