#include "formats/bmfont.hpp"

#include "formats/pngimage.hpp"

#include <algorithm>
#include <utility>

namespace {

constexpr std::uint32_t cell = 8;
constexpr std::uint32_t base = 7; // rows above the baseline

// A line of "name=value" fields, or an XML element of name="value" attributes: the same
// fields in the same order either way.
struct field {
    std::string_view name;
    std::string value;
    bool quoted = false; // the text form quotes strings, not numbers
};

std::string line_of(std::string_view tag, const std::vector<field>& fields, bmfont_form form)
{
    std::string line = form == bmfont_form::xml ? "  <" : "";
    line += tag;
    for (const field& each : fields) {
        const bool quote = each.quoted || form == bmfont_form::xml;
        line += ' ';
        line += each.name;
        line += quote ? "=\"" + each.value + "\"" : "=" + each.value;
    }
    return line + (form == bmfont_form::xml ? "/>\n" : "\n");
}

std::string number(std::uint32_t value)
{
    return std::to_string(value);
}

// XML needs &, < and > escaped in attribute values; face names hold no double quote.
std::string escaped(std::string_view text, bmfont_form form)
{
    std::string result;
    for (const char c : text) {
        if (form == bmfont_form::xml && c == '&')
            result += "&amp;";
        else if (form == bmfont_form::xml && c == '<')
            result += "&lt;";
        else if (form == bmfont_form::xml && c == '>')
            result += "&gt;";
        else
            result += c;
    }
    return result;
}

// (character, code) of every glyph listed, in code order.
std::vector<std::pair<char32_t, std::uint32_t>> listed_glyphs(const charset& set)
{
    std::vector<std::pair<char32_t, std::uint32_t>> listed;
    for (std::uint32_t code = 0; code < 256; ++code) {
        const char32_t character = set.code_points[code];
        if (character == no_character)
            continue; // the page has no character there, so no id can name the glyph
        const bool taken = std::any_of(listed.begin(), listed.end(), [&](const auto& each) { return each.first == character; });
        if (!taken)
            listed.emplace_back(character, code);
    }
    return listed;
}

std::string descriptor_of(const charset& set, std::string_view face, std::string_view page_name, std::uint32_t scale,
                          bmfont_form form)
{
    const bool xml = form == bmfont_form::xml;
    std::string out = xml ? "<?xml version=\"1.0\"?>\n<font>\n" : "";
    out += line_of("info", {{"face", escaped(face, form), true}, {"size", number(cell * scale)}, {"bold", "0"},
                            {"italic", "0"}, {"charset", "", true}, {"unicode", "1"}, {"stretchH", "100"},
                            {"smooth", "0"}, {"aa", "1"}, {"padding", "0,0,0,0"}, {"spacing", "0,0"}, {"outline", "0"}},
                   form);
    const std::string page_size = number(16 * cell * scale);
    out += line_of("common", {{"lineHeight", number(cell * scale)}, {"base", number(base * scale)},
                              {"scaleW", page_size}, {"scaleH", page_size}, {"pages", "1"}, {"packed", "0"}},
                   form);
    out += xml ? "  <pages>\n  " : "";
    out += line_of("page", {{"id", "0"}, {"file", escaped(page_name, form), true}}, form);
    const auto listed = listed_glyphs(set);
    out += xml ? "  </pages>\n  <chars count=\"" + number(static_cast<std::uint32_t>(listed.size())) + "\">\n"
               : line_of("chars", {{"count", number(static_cast<std::uint32_t>(listed.size()))}}, form);
    for (const auto& [character, code] : listed) {
        out += xml ? "  " : "";
        out += line_of("char", {{"id", number(character)}, {"x", number(code % 16 * cell * scale)},
                                {"y", number(code / 16 * cell * scale)}, {"width", number(cell * scale)},
                                {"height", number(cell * scale)}, {"xoffset", "0"}, {"yoffset", "0"},
                                {"xadvance", number(cell * scale)}, {"page", "0"}, {"chnl", "15"}},
                       form);
    }
    out += xml ? "  </chars>\n</font>\n" : "";
    return out;
}

} // namespace

std::string write_bmfont(const struct font& source, const charset& set, std::string_view face,
                         std::string_view page_name, std::uint32_t scale, bmfont_form form,
                         std::vector<std::uint8_t>& descriptor, std::vector<std::uint8_t>& page)
{
    std::vector<std::uint8_t> image;
    if (std::string problem = write_png_page(source, scale, image); !problem.empty())
        return problem;
    const std::string text = descriptor_of(set, face, page_name, scale, form);
    descriptor.assign(text.begin(), text.end());
    page = std::move(image);
    return "";
}
