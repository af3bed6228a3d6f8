// The names the converter gives and recognises: file endings in any case, numbered
// output names and the sprite files that an atlas's frames are cut into. Functions that
// check a name return "" or one sentence that says what is wrong.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Whether `text` ends with `ending` (lower case), in any case of ASCII letters.
bool ends_with(std::string_view text, std::string_view ending);

// Output names. A pattern holds exactly one number, written %d, %Nd or %0Nd (N from 1
// to 9: at least N digits, padded with spaces or zeros), and %% for a percent sign.
std::string check_name_pattern(std::string_view pattern);
// The pattern with `number` in place; the pattern must have passed the check.
std::string numbered_name(std::string_view pattern, std::uint32_t number);

// The sprite file name (without folder) that frame `name` is cut into: the name with
// a picture's ending (.png, .gif, .bmp, .jpg, .jpeg, .webp, .tga, .spr) replaced by
// .spr, or .spr added. Names that are not a plain file name (empty, "." or "..",
// holding a slash, a backslash or a control character, over 200 bytes) are refused.
std::string frame_file_name(std::string_view name, std::string& file_name);
