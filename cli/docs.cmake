# The README's pictures, drawn by the marovex program from the built-in demo signal at the default
# settings: `cmake --build build --target docs-pictures` (scripts/run.sh builds it) writes them into
# docs/. The same program and plug-in draw the same bytes, so the committed pictures stay unchanged
# unless the drawing, the processing or the fonts change.
if(TARGET marovex AND TARGET Marovex)
  set(_docs ${CMAKE_SOURCE_DIR}/docs)
  set(_pictures ${_docs}/marovex-demo-levels.png ${_docs}/marovex-response.png)
  add_custom_command(
    OUTPUT ${_pictures}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_docs}
    COMMAND marovex --plugin $<TARGET_FILE:Marovex> process -q --overwrite
            --plot ${_docs}/marovex-demo-levels.png
    COMMAND marovex --plugin $<TARGET_FILE:Marovex> plot-response --overwrite ${_docs}/marovex-response.png
    DEPENDS marovex Marovex
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Drawing the README's pictures from the demo signal"
    VERBATIM)
  add_custom_target(docs-pictures DEPENDS ${_pictures})
endif()
