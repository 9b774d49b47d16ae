# `marovex validate` against the real module and against deliberately broken variants of it. The
# variants are test-only modules: the module's own sources and libraries, with its description
# source replaced by broken/BrokenModule.cpp and one MAROVEX_BROKEN_* definition. Their broken
# editors derive from the real one, so they carry the editor inside (linked in, instead of the
# module's loader of the editor library).
if(TARGET marovex AND TARGET Marovex)
  get_target_property(_module_dir Marovex SOURCE_DIR)
  get_target_property(_module_sources Marovex SOURCES)
  set(_shared_sources)
  foreach(_src IN LISTS _module_sources)
    if(NOT IS_ABSOLUTE ${_src})
      set(_src ${_module_dir}/${_src})
    endif()
    if(NOT _src MATCHES "(Tandrel_Describe|Tandrel_EditorLoader)\\.cpp$")
      list(APPEND _shared_sources ${_src})
    endif()
  endforeach()
  get_target_property(_module_libs Marovex LINK_LIBRARIES)
  get_target_property(_module_includes Marovex INCLUDE_DIRECTORIES)
  get_target_property(_module_link_options Marovex LINK_OPTIONS)
  set(_broken_dir ${CMAKE_BINARY_DIR}/tests/broken)

  set(_variants NAN_BLOCK ALLOC LEAK_OBJECT CHUNK_DROP DENORMAL_TAIL TEXT EDITOR_LEAK MISBEHAVE)
  set(_broken_targets)
  foreach(_variant IN LISTS _variants)
    string(TOLOWER ${_variant} _lower)
    set(_t marovex_broken_${_lower})
    add_library(${_t} MODULE ${CMAKE_CURRENT_LIST_DIR}/broken/BrokenModule.cpp ${_shared_sources})
    target_include_directories(${_t} PRIVATE ${_module_includes} ${_module_dir} ${CMAKE_SOURCE_DIR}/editor)
    target_link_libraries(${_t} PRIVATE ${_module_libs} tandrel_editor)
    if(_module_link_options)
      target_link_options(${_t} PRIVATE ${_module_link_options})
    endif()
    target_compile_definitions(${_t} PRIVATE MAROVEX_BROKEN_${_variant})
    set_target_properties(${_t} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${_broken_dir})
    list(APPEND _broken_targets ${_t})
  endforeach()

  marovex_add_test(test_validate
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_validate.cpp
    LIBS marovex_warnings)
  target_compile_definitions(test_validate PRIVATE
    MAROVEX_CLI_PROGRAM="$<TARGET_FILE:marovex>"
    MAROVEX_BROKEN_DIR="${_broken_dir}"
    MAROVEX_CMAKE_COMMAND="${CMAKE_COMMAND}" MAROVEX_BUILD_DIR="${CMAKE_BINARY_DIR}")
  add_dependencies(test_validate marovex ${_broken_targets})
endif()
