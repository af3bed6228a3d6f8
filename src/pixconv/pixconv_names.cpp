#include "pixconv/pixconv_names.hpp"

#include <algorithm>
#include <array>

namespace {

// Reads the one number conversion at text[0] == '%': "" and its width and zero flag.
std::string read_conversion(std::string_view text, std::size_t& length, std::uint32_t& width, bool& zeros)
{
    std::size_t at = 1;
    zeros = at < text.size() && text[at] == '0';
    if (zeros)
        ++at;
    width = 0;
    if (at < text.size() && text[at] >= '1' && text[at] <= '9')
        width = static_cast<std::uint32_t>(text[at++] - '0');
    if (at >= text.size() || text[at] != 'd' || (zeros && width == 0))
        return "the output name may hold one number as %d, %Nd or %0Nd (N from 1 to 9), and %% for a percent sign";
    length = at + 1;
    return "";
}

constexpr std::array<std::string_view, 8> picture_endings = {".png", ".gif", ".bmp", ".jpg",
                                                             ".jpeg", ".webp", ".tga", ".spr"};

} // namespace

bool ends_with(std::string_view text, std::string_view ending)
{
    if (text.size() < ending.size())
        return false;
    return std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

std::string check_name_pattern(std::string_view pattern)
{
    std::size_t numbers = 0;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        if (pattern[at] != '%')
            continue;
        if (at + 1 < pattern.size() && pattern[at + 1] == '%') {
            ++at;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t width = 0;
        bool zeros = false;
        if (std::string error = read_conversion(pattern.substr(at), length, width, zeros); !error.empty())
            return error;
        ++numbers;
        at += length - 1;
    }
    if (numbers != 1)
        return "the output name must hold exactly one number, as %d, %Nd or %0Nd";
    return "";
}

std::string numbered_name(std::string_view pattern, std::uint32_t number)
{
    std::string name;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        if (pattern[at] != '%') {
            name += pattern[at];
            continue;
        }
        if (at + 1 < pattern.size() && pattern[at + 1] == '%') {
            name += '%';
            ++at;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t width = 0;
        bool zeros = false;
        if (!read_conversion(pattern.substr(at), length, width, zeros).empty())
            return name; // unreachable for a checked pattern
        std::string digits = std::to_string(number);
        if (digits.size() < width)
            digits.insert(0, width - digits.size(), zeros ? '0' : ' ');
        name += digits;
        at += length - 1;
    }
    return name;
}

std::string frame_file_name(std::string_view name, std::string& file_name)
{
    std::string shown = "\"" + std::string(name.substr(0, 40)) + (name.size() > 40 ? "...\"" : "\"");
    // A control character in a message could steer the terminal; show it as '?'.
    std::replace_if(shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
    const bool unsafe = std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F;
    });
    if (unsafe)
        return "the frame name " + shown + " is not a plain file name (it holds a slash or a control character)";
    if (name.size() > 200)
        return "the frame name " + shown + " is longer than 200 bytes";
    std::string stem(name);
    for (const std::string_view ending : picture_endings)
        if (ends_with(stem, ending)) {
            stem.resize(stem.size() - ending.size());
            break;
        }
    if (stem.empty() || stem == "." || stem == "..")
        return "the frame name " + shown + " leaves no file name";
    file_name = stem + ".spr";
    return "";
}
