# The loadable module Marovex.so: the description, the editor object, and everything they pull in.
# It exports exactly the seven entry points (effect/Marovex.map); the entry points live in the static
# aaxlib_component, so the link is told to require them.
set(_marovex_entry_points ACFRegisterPlugin ACFRegisterComponent ACFGetClassFactory ACFCanUnloadNow
    ACFStartup ACFShutdown ACFGetSDKVersion)
add_library(Marovex MODULE ${CMAKE_CURRENT_LIST_DIR}/Tandrel_Describe.cpp)
target_include_directories(Marovex PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(Marovex PRIVATE tandrel_editor aaxlib_component tandrel_model tandrel_kernel marovex_warnings)
list(TRANSFORM _marovex_entry_points PREPEND "-Wl,--require-defined=" OUTPUT_VARIABLE _marovex_require)
# -z nodelete: the editor's text libraries register types with the process-wide object system, which
# keeps pointers into their code; unmapping them on dlclose would leave those pointers dangling. The
# module therefore stays mapped once loaded (its entry points still start up and shut down as usual).
target_link_options(Marovex PRIVATE
  -Wl,-z,nodelete
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/Marovex.map
  -Wl,--no-undefined
  ${_marovex_require})
set_target_properties(Marovex PROPERTIES
  PREFIX ""
  OUTPUT_NAME Marovex
  SUFFIX ".so"
  LIBRARY_OUTPUT_DIRECTORY ${MAROVEX_MODULE_DIR}
  LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/Marovex.map)
file(MAKE_DIRECTORY ${MAROVEX_RESOURCES_DIR})
# The editor's artwork goes into the bundle with the module.
add_dependencies(Marovex marovex_artwork)
