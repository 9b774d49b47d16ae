# The host library: loads a plug-in module through its entry points and runs instances of it. It
# includes only the shared interfaces; everything else of the plug-in comes across the boundary.
find_package(Threads REQUIRED)
add_library(marovex_host STATIC
  ${CMAKE_CURRENT_LIST_DIR}/HostDescription.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MarovexModule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AudioThread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InstanceEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InstanceHost.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InstanceParameters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MarovexGui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MarovexViewContainer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MarovexInstance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MarovexReport.cpp)
target_include_directories(marovex_host PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marovex_host PUBLIC aax_interfaces PRIVATE ${CMAKE_DL_LIBS} Threads::Threads marovex_warnings)
