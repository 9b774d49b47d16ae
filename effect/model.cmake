# The effect's data model: the parameter set, its packets and the coefficient blocks.
add_library(tandrel_model STATIC ${CMAKE_CURRENT_LIST_DIR}/Tandrel_Parameters.cpp)
target_include_directories(tandrel_model PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tandrel_model PUBLIC aaxlib_model tandrel_kernel PRIVATE marovex_warnings)
