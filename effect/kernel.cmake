# The context records, the private-block reset and the process functions. Depends on the shared
# interfaces only: the kernel knows nothing of the data model, the host or the editor.
add_library(tandrel_kernel STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_AlgReset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_AlgProc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_AlgAvx2.cpp)
target_include_directories(tandrel_kernel PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tandrel_kernel PUBLIC aax_interfaces PRIVATE marovex_warnings)
# Only the vector part is compiled for AVX2 and FMA; the kernel runs it only after checking the CPU
# at run time. Contraction stays off here too: its fused operations are explicit intrinsics.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/Tandrel_AlgAvx2.cpp PROPERTIES COMPILE_OPTIONS "-mavx2;-mfma")

# The reference evaluation of the process functions, for the tests and the benchmark only.
add_library(tandrel_kernel_reference STATIC ${CMAKE_CURRENT_LIST_DIR}/Tandrel_AlgReference.cpp)
target_link_libraries(tandrel_kernel_reference PUBLIC tandrel_kernel PRIVATE marovex_warnings)
