// makefont <text source> <output>: turns the readable font source into a 2048-byte
// font file. The source is strict, so a slip in a drawing fails the build:
//   ; a comment line             (blank lines are ignored too)
//   0x41 A                       a glyph header: "0x", two hex digits, then any label
//   .###....                     then exactly 8 rows of exactly 8 cells, row 0 first;
//   #...#...                     '#' is a set pixel, '.' a clear one, and the leftmost
//   ...                          cell is column 0 (bit 0 of the row byte)
// Glyphs not listed stay blank; a glyph listed twice is an error. On any error the
// message, with the line number, goes to standard error, no output is written and the
// status is 1.
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

using font_image = std::array<std::uint8_t, 2048>;

struct source_error {
    int line;
    std::string message;
};

std::string trim_right(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.pop_back();
    return text;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The glyph number of a header line, or -1 when the line is no header.
int header_code(const std::string& line)
{
    if (line.size() < 4 || line[0] != '0' || (line[1] != 'x' && line[1] != 'X'))
        return -1;
    const int high = hex_digit(line[2]);
    const int low = hex_digit(line[3]);
    if (high < 0 || low < 0 || (line.size() > 4 && line[4] != ' '))
        return -1;
    return high * 16 + low;
}

std::string glyph_name(int code)
{
    char name[8];
    std::snprintf(name, sizeof name, "0x%02X", static_cast<unsigned>(code));
    return name;
}

// Parses the whole source into `image`; returns false with `error` filled on the first
// malformed line.
bool parse(std::istream& in, font_image& image, source_error& error)
{
    std::array<bool, 256> seen{};
    std::string text;
    int number = 0;
    int code = -1; // the glyph whose rows are being read
    int row = 0;
    while (std::getline(in, text)) {
        ++number;
        const std::string line = trim_right(text);
        if (code < 0) {
            if (line.empty() || line[0] == ';')
                continue;
            code = header_code(line);
            if (code < 0) {
                error = {number, "expected a glyph header such as \"0x41 A\", found \"" + line + "\""};
                return false;
            }
            if (seen[code]) {
                error = {number, "glyph " + glyph_name(code) + " is drawn a second time"};
                return false;
            }
            seen[code] = true;
            row = 0;
            continue;
        }
        if (line.size() != 8) {
            error = {number, "row " + std::to_string(row) + " of glyph " + glyph_name(code) +
                                 " must be 8 cells of '#' or '.', found \"" + line + "\""};
            return false;
        }
        std::uint8_t bits = 0;
        for (int column = 0; column < 8; ++column) {
            if (line[column] == '#') {
                bits = static_cast<std::uint8_t>(bits | 1u << column);
            } else if (line[column] != '.') {
                error = {number, "row " + std::to_string(row) + " of glyph " + glyph_name(code) +
                                     " has '" + line[column] + "' in column " + std::to_string(column) +
                                     "; only '#' and '.' are cells"};
                return false;
            }
        }
        image[code * 8 + row] = bits;
        if (++row == 8)
            code = -1;
    }
    if (code >= 0) {
        error = {number, "the source ends after " + std::to_string(row) + " of the 8 rows of glyph " +
                             glyph_name(code)};
        return false;
    }
    return true;
}

bool write_image(const char* path, const font_image& image)
{
    std::FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    const bool written = std::fwrite(image.data(), image.size(), 1, out) == 1;
    const bool closed = std::fclose(out) == 0;
    if (written && closed)
        return true;
    std::remove(path); // a partial font file must not look like a finished build step
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makefont <text source> <output>\n");
        return 1;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "makefont: cannot read %s\n", argv[1]);
        return 1;
    }
    font_image image{};
    source_error error{};
    if (!parse(in, image, error)) {
        std::fprintf(stderr, "%s:%d: %s\n", argv[1], error.line, error.message.c_str());
        return 1;
    }
    if (!write_image(argv[2], image)) {
        std::fprintf(stderr, "makefont: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
