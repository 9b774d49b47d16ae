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
