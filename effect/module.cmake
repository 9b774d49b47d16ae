# The loadable module Marovex.so: the description, the data model, the process functions and the
# editor factory, which loads the editor library MarovexEditor.so beside it on the first editor
# creation (Tandrel_EditorLoader.cpp). It links no graphics library; the editor's headers are read
# for the factory's declaration only. It exports exactly the seven entry points (effect/Marovex.map);
# the entry points live in the static aaxlib_component, so the link is told to require them.
set(_marovex_entry_points ACFRegisterPlugin ACFRegisterComponent ACFGetClassFactory ACFCanUnloadNow
    ACFStartup ACFShutdown ACFGetSDKVersion)
add_library(Marovex MODULE ${CMAKE_CURRENT_LIST_DIR}/Tandrel_Describe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_EditorLoader.cpp)
target_include_directories(Marovex PRIVATE ${CMAKE_CURRENT_LIST_DIR}
  ${CMAKE_SOURCE_DIR}/editor ${CMAKE_SOURCE_DIR}/gui-bridge ${CMAKE_SOURCE_DIR}/toolkit)
target_link_libraries(Marovex PRIVATE aaxlib_component tandrel_model tandrel_kernel ${CMAKE_DL_LIBS}
  marovex_warnings)
list(TRANSFORM _marovex_entry_points PREPEND "-Wl,--require-defined=" OUTPUT_VARIABLE _marovex_require)
# -z nodelete: the module stays mapped once loaded (its entry points still start up and shut down as
# usual), and so does the editor library it may have loaded: the editor's text libraries register
# types with the process-wide object system, which keeps pointers into their code.
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
# The editor library and its artwork go into the bundle with the module.
add_dependencies(Marovex MarovexEditor marovex_artwork)
