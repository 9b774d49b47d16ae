# What the program and the battery share: state files, audio files, value readers and messages,
# in-process.
marovex_add_test(test_support_files
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_support_files.cpp
  LIBS marovex_support PkgConfig::SNDFILE)
