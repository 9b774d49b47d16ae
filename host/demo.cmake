# The built-in demo signal, and a small program that runs the stereo kernel over it and writes the
# result as a WAV file (a stand-in until the host program processes the demo itself).
add_library(marovex_demo_signal STATIC ${CMAKE_CURRENT_LIST_DIR}/DemoSignal.cpp)
target_include_directories(marovex_demo_signal PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(marovex_demo_signal PRIVATE marovex_warnings)

find_package(PkgConfig REQUIRED)
pkg_check_modules(KERNEL_DEMO_SNDFILE REQUIRED IMPORTED_TARGET sndfile)
add_executable(marovex-kernel-demo ${CMAKE_SOURCE_DIR}/bench/kernel_demo.cpp)
target_link_libraries(marovex-kernel-demo PRIVATE tandrel_kernel marovex_demo_signal
  PkgConfig::KERNEL_DEMO_SNDFILE marovex_warnings)
set_target_properties(marovex-kernel-demo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MAROVEX_BIN_DIR})
