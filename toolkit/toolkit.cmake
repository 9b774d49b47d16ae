# The GUI toolkit subset: views, controls, bitmaps, fonts and frames over cairo, pango and Xlib. It
# knows nothing of the effect.
find_package(PkgConfig REQUIRED)

# The owners of cairo and pango objects (vstgui/owned.h), for every part that draws: the toolkit, the
# artwork tool and the program's pictures. The Xlib owners' deleters live in the toolkit itself.
pkg_check_modules(GRAPHICS_OWNERS_DEPS REQUIRED IMPORTED_TARGET cairo pangocairo)
add_library(marovex_graphics_owners STATIC ${CMAKE_CURRENT_LIST_DIR}/source/owned_cairo.cpp)
target_include_directories(marovex_graphics_owners PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marovex_graphics_owners PUBLIC PkgConfig::GRAPHICS_OWNERS_DEPS PRIVATE marovex_warnings)

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
  ${CMAKE_CURRENT_LIST_DIR}/source/owned_x11.cpp)
target_include_directories(marovex_toolkit PUBLIC ${CMAKE_CURRENT_LIST_DIR})
find_package(Threads REQUIRED)
target_link_libraries(marovex_toolkit PUBLIC PkgConfig::TOOLKIT_DEPS marovex_graphics_owners PRIVATE Threads::Threads marovex_warnings)
