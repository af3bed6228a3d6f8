# What makes the three programs Windows programs, from the top folder's CMakeLists.txt:
# a manifest that makes the process's code page UTF-8, binary files by default, the
# editors as windowed programs, and the converter's wildcards expanded as a shell would.
set(windows_folder ${CMAKE_CURRENT_LIST_DIR})
foreach(program pixmend glyfmend pixconv makefont)
  target_sources(${program} PRIVATE ${windows_folder}/utf8.rc ${windows_folder}/binary_streams.cpp)
endforeach()
# No console opens beside an editor started from the Explorer.
set_target_properties(pixmend glyfmend PROPERTIES WIN32_EXECUTABLE ON)
# Every file opens in binary mode, as on Linux: no \r is added before a \n, and a 0x1A
# byte does not end a read. MinGW's runtime does this for a program that links binmode.o,
# and binary_streams.cpp for the standard streams. CRT_glob.o makes pixconv expand
# `walk-?.spr` itself, since a Command Prompt leaves that to the program.
find_file(MINGW_BINMODE binmode.o PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_file(MINGW_GLOB CRT_glob.o PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
foreach(program pixmend glyfmend pixconv makefont)
  target_link_libraries(${program} PRIVATE ${MINGW_BINMODE})
endforeach()
target_link_libraries(pixconv PRIVATE ${MINGW_GLOB})
# The test programs, made later, too.
link_libraries(${MINGW_BINMODE})
