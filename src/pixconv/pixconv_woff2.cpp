// Fonts packed for web pages through the WOFF2 encoder. The build has it where the
// encoder is (src/pixconv/CMakeLists.txt).
#include "formats/truetype.hpp"
#include "formats/woff2data.hpp"
#include "pixconv/pixconv_features.hpp"

#include <array>

namespace {

std::string write_woff2_font(const struct font& source, const settings& how, written& out)
{
    return write_woff2(write_truetype(source, *how.characters, how.name), out.bytes);
}

constexpr std::array formats = {
    format_row{.ending = ".woff2", .family = "WOFF2", .content = holds::a_font, .write_font = write_woff2_font,
               .help = ".woff2           the TrueType font packed for web pages (write)", .named = naming::family,
               .follows = ".xml"},
};

} // namespace

extern const pixconv_feature woff2_feature;
const pixconv_feature woff2_feature{formats, {}, {}};
