// The bytes F2 would write now, for the page (web/editor.js), which compares them with the
// file as it was opened or last stored to tell whether there are changes not yet saved.
// Each editor's web build links filenow.cpp and its own definition of file_now().
#pragma once
#include <cstdint>
#include <vector>

std::vector<std::uint8_t> file_now();
