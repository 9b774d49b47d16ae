# The GUI toolkit subset: views, controls, bitmaps, fonts and frames over cairo, pango and Xlib. It
# knows nothing of the effect.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TOOLKIT_DEPS REQUIRED IMPORTED_TARGET cairo cairo-xlib pangocairo x11)
add_library(marovex_toolkit STATIC
  ${CMAKE_CURRENT_LIST_DIR}/source/cbitmap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/cdrawcontext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/cfont.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/cview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/ccontrol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/cframe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/x11frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/cfileselector.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/x11clipboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source/owned.cpp)
target_include_directories(marovex_toolkit PUBLIC ${CMAKE_CURRENT_LIST_DIR})
find_package(Threads REQUIRED)
target_link_libraries(marovex_toolkit PUBLIC PkgConfig::TOOLKIT_DEPS PRIVATE Threads::Threads marovex_warnings)
