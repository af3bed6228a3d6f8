// Fonts read through FreeType: PCF, Windows FON, TrueType and OpenType, gzipped or
// not. The build has it where FreeType is (src/pixconv/CMakeLists.txt).
#include "formats/freetypefont.hpp"
#include "pixconv/pixconv_features.hpp"

#include <array>

namespace {

// PCF, Windows, TrueType and OpenType fonts come in through FreeType, gzipped or not.
std::string read_through_freetype(std::span<const std::uint8_t> data, const settings& how, struct font& result,
                                  std::string& warning)
{
    return read_freetype_font(data, *how.characters, how.size, result, warning);
}
constexpr std::array formats = {
    format_row{.ending = ".pcf", .family = "PCF", .content = holds::a_font, .read_font = read_through_freetype,
               .help = ".pcf .pcf.gz     X11 bitmap font (read)", .follows = ".bdf"},
    format_row{.ending = ".pcf.gz", .family = "PCF", .content = holds::a_font, .read_font = read_through_freetype,
               .follows = ".pcf"},
    format_row{.ending = ".fon", .family = "Windows FON", .content = holds::a_font, .read_font = read_through_freetype,
               .help = ".fon             Windows bitmap font, or a bare FNT so named (read)", .follows = ".pcf.gz"},
    // The TrueType row every build has writes; this one reads.
    format_row{.ending = ".ttf", .family = "TrueType", .content = holds::a_font, .read_font = read_through_freetype},
    format_row{.ending = ".otf", .family = "OpenType", .content = holds::a_font, .read_font = read_through_freetype,
               .help = ".otf .otb        OpenType font, outlines or bitmap strikes (read)", .follows = ".ttf"},
    format_row{.ending = ".otb", .family = "OpenType", .content = holds::a_font, .read_font = read_through_freetype,
               .follows = ".otf"},
};

} // namespace

extern const pixconv_feature freetype_feature;
const pixconv_feature freetype_feature{formats, {}, {}};
