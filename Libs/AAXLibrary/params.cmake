# Parameter model: string, component object model, delegates, parameters and the parameter manager.
add_library(aaxlib_params STATIC
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CACFUnknown.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CParameter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CParameterManager.cpp)
target_link_libraries(aaxlib_params PUBLIC aax_interfaces PRIVATE marovex_warnings)
