// Fonts as BMFont descriptors, in memory, the bitmap font form that game engines load:
// a descriptor (text or XML) that names one page image and where each character lies
// on it. The page is the font sheet as 32-bit RGBA (see write_png_page): all 256
// glyphs in a 16 x 16 grid of 8 x 8 cells, white on transparent, so that the page read
// back as a sheet gives the font again. Every glyph is listed, blank ones too, with the
// whole cell as its rectangle, no offset and an advance of 8; ids are the characters
// the code page gives the codes (a character two codes share is listed for the lower).
// Line height 8, baseline 7. `scale` (1-64) multiplies every size and position.
//
// The text form writes every field of every line, in the order that loaders reading
// by position expect, and starts with "info" (no byte order mark, no comment).
// Writers return "" on success, else one sentence; the outputs are then left alone.
#pragma once
#include "formats/charset.hpp"
#include "art/fonts.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class bmfont_form { text, xml };

// Writes the descriptor of `source` with face name `face` (which family_name_problem
// accepts) and the page, which the descriptor names `page_name` (a file name without
// folders or double quotes, where the caller will put the page beside the descriptor).
std::string write_bmfont(const struct font& source, const charset& set, std::string_view face,
                         std::string_view page_name, std::uint32_t scale, bmfont_form form,
                         std::vector<std::uint8_t>& descriptor, std::vector<std::uint8_t>& page);
