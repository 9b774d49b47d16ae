# Throughput of `marovex process` on a 60 s file against the bare kernel: marovex_process_bench.
if(TARGET marovex)
  add_executable(marovex_process_bench ${CMAKE_CURRENT_LIST_DIR}/process_bench.cpp)
  target_link_libraries(marovex_process_bench PRIVATE tandrel_kernel marovex_demo_signal PkgConfig::SNDFILE
    marovex_warnings)
  target_include_directories(marovex_process_bench PRIVATE ${CMAKE_SOURCE_DIR}/effect)
  target_compile_definitions(marovex_process_bench PRIVATE MAROVEX_PROGRAM_PATH="$<TARGET_FILE:marovex>")
  add_dependencies(marovex_process_bench marovex)
  set_target_properties(marovex_process_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MAROVEX_BIN_DIR})
endif()
