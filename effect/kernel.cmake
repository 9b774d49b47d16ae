# The context records, the private-block reset and the process functions. Depends on the shared
# interfaces only: the kernel knows nothing of the data model, the host or the editor.
add_library(tandrel_kernel STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_AlgReset.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_AlgProc.cpp)
target_include_directories(tandrel_kernel PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tandrel_kernel PUBLIC aax_interfaces PRIVATE marovex_warnings)
