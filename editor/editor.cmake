# The editor: the bridge between the host's editor calls and the GUI toolkit (gui-bridge/), and the
# effect's own editor (editor/): the GUI object, the content view, the bound controls, the meter bar.
# It reaches the data model only through its host-facing interface.
add_library(tandrel_editor STATIC
  ${CMAKE_SOURCE_DIR}/gui-bridge/AAX_CEffectGUI_VST.cpp
  ${CMAKE_SOURCE_DIR}/gui-bridge/VSTGUI_ContentView.cpp
  ${CMAKE_SOURCE_DIR}/gui-bridge/AAX_CVSTGUIButtonState.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_GUI.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_View.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_AnimKnobVST.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tandrel_TextButtonVST.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MyC_HBar.cpp)
target_include_directories(tandrel_editor PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/gui-bridge)
target_link_libraries(tandrel_editor PUBLIC aaxlib_component marovex_toolkit marovex_preset ${CMAKE_DL_LIBS}
  PRIVATE marovex_warnings)

# The editor library MarovexEditor.so, beside the module in the bundle: the toolkit, the GUI bridge
# and the editor, with every graphics library they need. The module loads it on the first editor
# creation and calls its one export (Tandrel_EditorEntry.cpp, Tandrel_EditorLink.h).
add_library(MarovexEditor MODULE ${CMAKE_CURRENT_LIST_DIR}/Tandrel_EditorEntry.cpp)
target_link_libraries(MarovexEditor PRIVATE tandrel_editor marovex_warnings)
# -z nodelete: the text libraries register types with the process-wide object system, which keeps
# pointers into their code (the module never closes it either).
target_link_options(MarovexEditor PRIVATE
  -Wl,-z,nodelete
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/MarovexEditor.map
  -Wl,--no-undefined
  -Wl,--require-defined=MarovexEditorEntry)
set_target_properties(MarovexEditor PROPERTIES
  PREFIX ""
  OUTPUT_NAME MarovexEditor
  SUFFIX ".so"
  LIBRARY_OUTPUT_DIRECTORY ${MAROVEX_MODULE_DIR}
  LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/MarovexEditor.map)
