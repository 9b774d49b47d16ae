# The marovex program: info, process and state show on top of the host library.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CLI_SNDFILE REQUIRED IMPORTED_TARGET GLOBAL sndfile)
find_package(Threads REQUIRED)
find_package(fmt REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(CLI11 REQUIRED)
pkg_check_modules(CLI_EDITOR_DEPS REQUIRED IMPORTED_TARGET GLOBAL x11 cairo pangocairo)
# The editor's sound: RtAudio (JACK, PulseAudio, ALSA); ALSA's own library only to quiet its reports.
pkg_check_modules(CLI_AUDIO_DEPS REQUIRED IMPORTED_TARGET GLOBAL rtaudio alsa)

# Everything but main(), so that the tests can reach the file formats directly.
add_library(marovex_cli_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/cli/Arguments.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/AudioFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/ChunkPipeline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/Envelope.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/Interrupt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/Messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/InfoCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/PluginSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/ProcessCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/Progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/StateCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/StateFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/Text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/EditorCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/AudioOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/PlotCanvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/PlotLevels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/PlotResponse.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli/Graphics.cpp)
target_include_directories(marovex_cli_core PUBLIC ${CMAKE_CURRENT_LIST_DIR}/cli)
target_link_libraries(marovex_cli_core
  PUBLIC marovex_host marovex_preset marovex_demo_signal aax_interfaces PkgConfig::CLI_SNDFILE
         fmt::fmt nlohmann_json::nlohmann_json CLI11::CLI11
  PRIVATE Threads::Threads ${CMAKE_DL_LIBS} marovex_warnings)
# The drawing code (plots, the editor command and its sound) is compiled here against the graphics
# and audio headers (its headers include some), but their libraries are linked only where it is
# used: by libmarovex_graphics.so (graphics.cmake) and the tests that draw (marovex_cli_drawing).
# Every function in a section of its own lets the program's link drop it.
target_include_directories(marovex_cli_core SYSTEM PUBLIC ${CLI_EDITOR_DEPS_INCLUDE_DIRS} ${CLI_AUDIO_DEPS_INCLUDE_DIRS}
  $<TARGET_PROPERTY:marovex_graphics_owners,INTERFACE_INCLUDE_DIRECTORIES>)
target_compile_options(marovex_cli_core PUBLIC ${CLI_EDITOR_DEPS_CFLAGS_OTHER} ${CLI_AUDIO_DEPS_CFLAGS_OTHER}
  PRIVATE -ffunction-sections -fdata-sections)
# What links the drawing code: the graphics and audio libraries and the pictures' owners of cairo and
# pango objects (PlotCanvas.h includes them).
add_library(marovex_cli_drawing INTERFACE)
target_link_libraries(marovex_cli_drawing INTERFACE marovex_cli_core PkgConfig::CLI_EDITOR_DEPS PkgConfig::CLI_AUDIO_DEPS
  marovex_graphics_owners)

add_executable(marovex ${CMAKE_CURRENT_LIST_DIR}/cli/main.cpp)
target_link_libraries(marovex PRIVATE marovex_cli_core marovex_warnings)
# The program draws through libmarovex_graphics.so (cli/Graphics.h) and links no graphics library:
# --gc-sections drops the drawing code it never calls, and a call to cairo, pango or X11 left in
# code it keeps fails this link as an undefined reference.
target_link_options(marovex PRIVATE -Wl,--gc-sections)
set_target_properties(marovex PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MAROVEX_BIN_DIR})
# The program loads the module from beside itself by default: building it builds the module.
if(TARGET Marovex)
  add_dependencies(marovex Marovex)
endif()

# `cmake --install` puts the program in <prefix>/bin and the plug-in bundle in <prefix>/lib/marovex,
# where the program looks for it (relative to itself, so the prefix can move).
install(TARGETS marovex RUNTIME DESTINATION bin)
if(TARGET Marovex)
  install(TARGETS Marovex LIBRARY DESTINATION lib/marovex/Marovex.aaxplugin/Contents/x86_64-linux)
  install(TARGETS MarovexEditor LIBRARY DESTINATION lib/marovex/Marovex.aaxplugin/Contents/x86_64-linux)
  install(DIRECTORY ${MAROVEX_RESOURCES_DIR} DESTINATION lib/marovex/Marovex.aaxplugin/Contents OPTIONAL)
endif()
