# The Windows build's tests, included by CMakeLists.txt: every suite that needs neither a
# window nor a Linux tool, cross-built and run by ctest under Wine (the toolchain's
# emulator), and the Windows save. They are listed when ctest runs, since listing them
# runs each program under Wine. The programs themselves, under Wine against the Linux
# build, are tested from the Linux build (windows_e2e, windows_pixconv).
add_library(testsupport STATIC support_files.cpp)
target_include_directories(testsupport PUBLIC .)

function(add_windows_test_program name)
  cmake_parse_arguments(arg "" "" "SOURCES;LIBS" ${ARGN})
  # The manifest gives the tests, like the programs, UTF-8 for every char API.
  add_executable(${name} ${arg_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/windows/utf8.rc)
  target_link_libraries(${name} PRIVATE ${arg_LIBS} testsupport GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE DEFAULT_FONT_PATH="${CMAKE_BINARY_DIR}/default.fnt"
                             ASSETS_DIR="${CMAKE_SOURCE_DIR}/assets")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 300)
endfunction()

add_windows_test_program(display_tests SOURCES dbuff_test.cpp palette_test.cpp presentation_test.cpp LIBS presentation)
add_windows_test_program(sprite_tests SOURCES bitmap_test.cpp LIBS sprites)
add_windows_test_program(font_tests SOURCES fonts_test.cpp LIBS fonts)
add_dependencies(font_tests default_font)
add_windows_test_program(format_tests SOURCES charset_test.cpp gamefiles_test.cpp LIBS formats)
add_windows_test_program(pixconv_tests SOURCES pixconv_options_test.cpp pixconv_names_test.cpp LIBS pixconv_core)
add_windows_test_program(savefile_windows_tests SOURCES savefile_windows_test.cpp LIBS files)
