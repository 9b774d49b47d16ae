# libFuzzer targets, built only with MAROVEX_FUZZ=ON and clang:
#   cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DMAROVEX_FUZZ=ON
#   cmake --build build-fuzz --target chunk_fuzz preset_fuzz
# The data-model libraries get coverage instrumentation and the sanitizers as well, so the fuzzer
# both steers into the chunk reader and catches any read past a chunk's size inside it.
if(MAROVEX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "MAROVEX_FUZZ needs clang (-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)")
  endif()
  set(_fuzz_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  foreach(_lib aaxlib_model tandrel_model marovex_preset)
    target_compile_options(${_lib} PRIVATE -fsanitize=fuzzer-no-link ${_fuzz_sanitizers})
  endforeach()
  add_executable(chunk_fuzz ${CMAKE_CURRENT_LIST_DIR}/chunk_fuzz.cpp)
  target_include_directories(chunk_fuzz PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
  target_compile_options(chunk_fuzz PRIVATE -fsanitize=fuzzer ${_fuzz_sanitizers})
  target_link_options(chunk_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(chunk_fuzz PRIVATE tandrel_model marovex_warnings)

  # The preset text scanner, as the editor's file and clipboard readers use it.
  add_executable(preset_fuzz ${CMAKE_CURRENT_LIST_DIR}/preset_fuzz.cpp)
  target_compile_options(preset_fuzz PRIVATE -fsanitize=fuzzer ${_fuzz_sanitizers})
  target_link_options(preset_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(preset_fuzz PRIVATE marovex_preset marovex_warnings)
endif()
