# Entry-point glue, description wrappers, editor base, view container and autorelease pool.
add_library(aaxlib_component STATIC
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_Init.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_VCollection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_VEffectDescriptor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_VComponentDescriptor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_VPropertyMap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_VViewContainer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CAutoreleasePool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_IEffectGUI.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CEffectGUI.cpp)
target_link_libraries(aaxlib_component PUBLIC aaxlib_model PRIVATE marovex_warnings)
