# Owners for cairo, pango and glib objects (GraphicsOwners.h), one header for every part that draws:
# the artwork tool, the program's plots and the toolkit. Linking this target brings the include path
# and the libraries the header needs.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GRAPHICS_OWNERS_DEPS REQUIRED IMPORTED_TARGET cairo pangocairo)
add_library(marovex_graphics_owners INTERFACE)
target_include_directories(marovex_graphics_owners INTERFACE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marovex_graphics_owners INTERFACE PkgConfig::GRAPHICS_OWNERS_DEPS)
