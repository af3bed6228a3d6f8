// C headers that carry a sprite or a font into a program; they compile as C and C++.
// The writers return "" on success, else one sentence that says what is wrong, and hand
// the text back through `header`; c_identifier gives the name it makes.
#pragma once
#include "art/fonts.hpp"
#include "art/structs.hpp"

#include <string>
#include <string_view>

// `name` made a C and C++ identifier that is never reserved: every run of characters
// other than ASCII letters and digits (a UTF-8 letter's bytes, '.', '-', '_') becomes
// one '_', and none is left at the end. A name that would start with a digit or '_',
// or be a keyword, gets `kind` ("font" or "sprite") and '_' in front, so "866_8x8"
// becomes "font_866_8x8" and "_Bool" "font_Bool"; an empty name becomes `kind`.
std::string c_identifier(std::string_view name, std::string_view kind);

// Writes `sprite` into `header` as the enumerators NAME_width and NAME_height and the
// array `static const unsigned char NAME[]`, the pixel bytes row by row (255
// transparent). Returns "" on success, else one sentence saying what is wrong (a sprite
// with no pixels has no picture to write). `name` must be an identifier.
std::string write_sprite_header(const bitmap& sprite, std::string_view name, std::string& header);

// Writes `source` as `static const unsigned char NAME[256][8]`, NAME[code][row] the
// font file's byte (bit 0 the leftmost pixel), with a comment per glyph giving its
// code and, when printable, its character. `name` must be an identifier. Every font
// can be written: returns "".
std::string write_font_header(const struct font& source, std::string_view name, std::string& header);
