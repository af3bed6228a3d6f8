#include "formats/palettefile.hpp"

#include "display/palette.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

// The names pixel-editors(5) gives the colours.
constexpr std::array<std::string_view, 16> colour_names = {
    "black",    "blue",       "green",       "cyan",       "red",       "magenta",       "olive",  "light grey",
    "dark grey", "light blue", "light green", "light cyan", "light red", "light magenta", "yellow", "white"};

struct rgb {
    unsigned red;
    unsigned green;
    unsigned blue;
};

rgb colour_of(std::uint8_t index)
{
    const std::uint32_t word = rgbx_of(index);
    return {word >> 24, word >> 16 & 0xFF, word >> 8 & 0xFF};
}

std::uint32_t word_of(unsigned red, unsigned green, unsigned blue)
{
    return red << 24 | green << 16 | blue << 8;
}

std::vector<std::uint8_t> bytes_of(const std::string& text)
{
    return {text.begin(), text.end()};
}

// Lines made by `line(index, buffer)` for the 16 colours, each ended by `newline`.
template <typename Line>
std::string colour_lines(const char* newline, Line line)
{
    std::string text;
    for (std::uint8_t index = 0; index < 16; ++index) {
        char buffer[64];
        line(index, colour_of(index), buffer);
        text += std::string(buffer) + newline;
    }
    return text;
}

// ---- Reading ----

// The text's lines, without their LF or CR LF, numbered from 1.
struct line_reader {
    std::string_view text;
    std::size_t at = 0;
    std::size_t number = 0;

    bool next(std::string_view& line)
    {
        if (at >= text.size())
            return false;
        const std::size_t end = std::min(text.find('\n', at), text.size());
        line = text.substr(at, end - at);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        at = end + 1;
        ++number;
        return true;
    }

    std::string where() const { return "line " + std::to_string(number); }
};

bool is_blank(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Reads whole numbers 0-255 parted by spaces or tabs from `line` into `values`; what
// follows them is left in `line`. False when one is missing or out of range.
bool read_channels(std::string_view& line, std::array<unsigned, 3>& values)
{
    for (unsigned& value : values) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos)
            return false;
        line.remove_prefix(start);
        std::size_t digits = 0;
        value = 0;
        while (digits < line.size() && digits < 4 && line[digits] >= '0' && line[digits] <= '9')
            value = value * 10 + static_cast<unsigned>(line[digits++] - '0');
        const bool parted = digits == line.size() || line[digits] == ' ' || line[digits] == '\t';
        if (digits == 0 || value > 255 || !parted)
            return false;
        line.remove_prefix(digits);
    }
    return true;
}

// Collects colours in file order; the first 16 are kept, later ones only counted.
struct colour_list {
    colour_set colours{};
    std::size_t count = 0;

    void add(std::uint32_t word)
    {
        if (count < colours.size())
            colours[count] = word;
        ++count;
    }

    std::string finish(colour_set& result) const
    {
        if (count < 16)
            return "it holds " + std::to_string(count) + (count == 1 ? " colour" : " colours") +
                   "; a palette needs 16";
        result = colours;
        return "";
    }
};

std::string_view text_of(std::span<const std::uint8_t> data)
{
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

std::string too_large(std::span<const std::uint8_t> data)
{
    if (data.size() > max_palette_size)
        return "a palette file is at most " + std::to_string(max_palette_size >> 20) + " MiB";
    return "";
}

std::uint32_t read_u32(const std::uint8_t* p)
{
    return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

// A RIFF palette: "RIFF", size, "PAL ", then chunks; the "data" chunk holds a version,
// a count and the colours.
std::string read_riff_palette(std::span<const std::uint8_t> data, colour_set& colours)
{
    if (data.size() < 12 || text_of(data.subspan(8, 4)) != "PAL ")
        return "a RIFF file that is not a palette";
    for (std::size_t at = 12; at + 8 <= data.size();) {
        const std::uint32_t size = read_u32(data.data() + at + 4);
        if (size > data.size() - at - 8)
            return "the RIFF palette ends inside a chunk";
        if (text_of(data.subspan(at, 4)) == "data") {
            const std::span<const std::uint8_t> chunk = data.subspan(at + 8, size);
            const std::size_t count = chunk.size() < 4 ? 0 : chunk[2] | std::size_t{chunk[3]} << 8;
            if (chunk.size() < 4 || chunk[0] != 0x00 || chunk[1] != 0x03 || chunk.size() < 4 + 4 * count)
                return "the RIFF palette's data chunk is damaged";
            colour_list list;
            for (std::size_t i = 0; i < count; ++i)
                list.add(word_of(chunk[4 + 4 * i], chunk[5 + 4 * i], chunk[6 + 4 * i]));
            return list.finish(colours);
        }
        at += 8 + size + (size & 1);
    }
    return "the RIFF palette has no data chunk";
}

} // namespace

std::vector<std::uint8_t> write_gimp_palette()
{
    return bytes_of("GIMP Palette\nName: pixel editors\nColumns: 16\n#\n" +
                    colour_lines("\n", [](std::uint8_t index, rgb c, char* out) {
                        std::snprintf(out, 64, "%3u %3u %3u\t%s", c.red, c.green, c.blue,
                                      colour_names[index].data());
                    }));
}

std::vector<std::uint8_t> write_jasc_palette()
{
    return bytes_of("JASC-PAL\r\n0100\r\n16\r\n" + colour_lines("\r\n", [](std::uint8_t, rgb c, char* out) {
                        std::snprintf(out, 64, "%u %u %u", c.red, c.green, c.blue);
                    }));
}

std::vector<std::uint8_t> write_hex_palette()
{
    return bytes_of(colour_lines("\n", [](std::uint8_t, rgb c, char* out) {
        std::snprintf(out, 64, "%02x%02x%02x", c.red, c.green, c.blue);
    }));
}

std::string read_gimp_palette(std::span<const std::uint8_t> data, colour_set& colours)
{
    if (std::string problem = too_large(data); !problem.empty())
        return problem;
    line_reader lines{text_of(data)};
    std::string_view line;
    if (!lines.next(line) || !line.starts_with("GIMP Palette"))
        return "not a GIMP palette: its first line is not \"GIMP Palette\"";
    colour_list list;
    while (lines.next(line)) {
        if (is_blank(line) || line.starts_with('#') || line.starts_with("Name:") || line.starts_with("Columns:"))
            continue;
        std::array<unsigned, 3> rgb{};
        if (!read_channels(line, rgb))
            return lines.where() + " is not three whole numbers from 0 to 255";
        list.add(word_of(rgb[0], rgb[1], rgb[2]));
    }
    return list.finish(colours);
}

std::string read_jasc_palette(std::span<const std::uint8_t> data, colour_set& colours)
{
    if (std::string problem = too_large(data); !problem.empty())
        return problem;
    if (text_of(data).starts_with("RIFF"))
        return read_riff_palette(data, colours);
    line_reader lines{text_of(data)};
    std::string_view line;
    if (!lines.next(line) || line != "JASC-PAL" || !lines.next(line) || line != "0100")
        return "not a JASC or RIFF palette: it does not start with \"JASC-PAL\" and \"0100\"";
    if (!lines.next(line) || line.empty() || line.size() > 5 ||
        line.find_first_not_of("0123456789") != std::string_view::npos)
        return "line 3 is not the number of colours";
    const auto count = static_cast<unsigned>(std::stoul(std::string(line)));
    colour_list list;
    for (unsigned i = 0; i < count; ++i) {
        std::array<unsigned, 3> rgb{};
        if (!lines.next(line))
            return "it ends after " + std::to_string(i) + " of the " + std::to_string(count) + " colours it names";
        if (!read_channels(line, rgb) || !is_blank(line))
            return lines.where() + " is not three whole numbers from 0 to 255";
        list.add(word_of(rgb[0], rgb[1], rgb[2]));
    }
    return list.finish(colours);
}

std::string read_hex_palette(std::span<const std::uint8_t> data, colour_set& colours)
{
    if (std::string problem = too_large(data); !problem.empty())
        return problem;
    line_reader lines{text_of(data)};
    std::string_view line;
    colour_list list;
    while (lines.next(line)) {
        if (is_blank(line))
            continue;
        if (line.starts_with('#'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.size() != 6 || line.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
            return lines.where() + " is not a colour of six hex digits";
        list.add(static_cast<std::uint32_t>(std::stoul(std::string(line), nullptr, 16)) << 8);
    }
    return list.finish(colours);
}
