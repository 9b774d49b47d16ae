# Effect data model: mutex, packet dispatcher, effect parameters base, chunk parser, host wrappers.
add_library(aaxlib_model STATIC
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CUIDs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CMutex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CPacketDispatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_IEffectParameters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CEffectParameters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CChunkDataParser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_VController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_VAutomationDelegate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_VTransport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_VHostServices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/AAX_CHostServices.cpp)
find_package(Threads REQUIRED)
target_link_libraries(aaxlib_model PUBLIC aaxlib_params aax_interfaces Threads::Threads PRIVATE marovex_warnings)
