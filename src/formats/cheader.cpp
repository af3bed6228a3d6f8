#include "formats/cheader.hpp"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace {

// Keywords of C and C++ that could otherwise come out of a file name.
constexpr auto keywords = std::to_array<std::string_view>({
    "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break", "case", "catch",
    "char", "char8_t", "char16_t", "char32_t", "class", "compl", "concept", "const", "consteval", "constexpr",
    "constinit", "const_cast", "continue", "co_await", "co_return", "co_yield", "decltype", "default",
    "delete", "do", "double", "dynamic_cast", "else", "enum", "explicit", "export", "extern", "false",
    "float", "for", "friend", "goto", "if", "inline", "int", "long", "mutable", "namespace", "new",
    "noexcept", "not", "not_eq", "nullptr", "operator", "or", "or_eq", "private", "protected", "public",
    "register", "reinterpret_cast", "requires", "restrict", "return", "short", "signed", "sizeof", "static",
    "static_assert", "static_cast", "struct", "switch", "template", "this", "thread_local", "throw", "true",
    "try", "typedef", "typeid", "typename", "union", "unsigned", "using", "virtual", "void", "volatile",
    "wchar_t", "while", "xor", "xor_eq", "_Bool", "_Complex"});

bool is_letter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

std::string hex_byte(std::uint8_t value)
{
    constexpr std::string_view digits = "0123456789ABCDEF";
    return {'0', 'x', digits[value >> 4], digits[value & 15]};
}

} // namespace

std::string c_identifier(std::string_view name, std::string_view kind)
{
    std::string identifier;
    for (const char c : name) {
        const bool kept = is_letter(c) || is_digit(c);
        if (kept)
            identifier += c;
        else if (identifier.empty() || identifier.back() != '_')
            identifier += '_';
    }
    // A trailing '_' would make "__" with the "_width" the sprite header adds.
    while (!identifier.empty() && identifier.back() == '_')
        identifier.pop_back();
    const bool reserved = !identifier.empty() && (identifier.front() == '_' || is_digit(identifier.front()));
    const bool keyword = std::find(keywords.begin(), keywords.end(), identifier) != keywords.end();
    if (identifier.empty())
        return std::string(kind);
    if (reserved)
        return std::string(kind) + (identifier.front() == '_' ? "" : "_") + identifier;
    if (keyword)
        return std::string(kind) + "_" + identifier;
    return identifier;
}

std::string write_sprite_header(const bitmap& sprite, std::string_view name, std::string& header)
{
    if (sprite.width == 0 || sprite.height == 0)
        return "the sprite is " + std::to_string(sprite.width) + " x " + std::to_string(sprite.height) +
               " and has no pixels to write";
    const std::string id(name);
    // The sizes are enumerators, not variables, so C can size arrays with them too.
    std::string text = "/* Sprite " + id + ": " + id + "_width x " + id +
                       "_height pixel bytes, row by row from the top,\n"
                       "   each row from left to right; a byte is a colour 0-15, or 255 for transparent. */\n"
                       "#ifndef " + id + "_sprite_included\n#define " + id + "_sprite_included\n\n" +
                       "enum { " + id + "_width = " + std::to_string(sprite.width) + ", " + id +
                       "_height = " + std::to_string(sprite.height) + " };\n\n" +
                       "static const unsigned char " + id + "[" + std::to_string(sprite.width * sprite.height) +
                       "] = {\n";
    for (std::size_t y = 0; y < sprite.height; ++y) {
        for (std::size_t x = 0; x < sprite.width; ++x) {
            text += x % 16 == 0 ? "    " : " ";
            text += std::to_string(sprite.bitmap[y * sprite.width + x]) + ",";
            if (x % 16 == 15 || x + 1 == sprite.width)
                text += '\n';
        }
    }
    text += "};\n\n#endif\n";
    header = std::move(text);
    return "";
}

std::string write_font_header(const struct font& source, std::string_view name, std::string& header)
{
    const std::string id(name);
    std::string text = "/* Font " + id + ": 256 glyphs of 8 rows, " + id +
                       "[code][row], row 0 at the top;\n"
                       "   in a row byte bit 0 is the leftmost pixel and bit 7 the rightmost. */\n"
                       "#ifndef " + id + "_font_included\n#define " + id + "_font_included\n\n" +
                       "static const unsigned char " + id + "[256][8] = {\n";
    for (std::size_t code = 0; code < 256; ++code) {
        text += "    {";
        for (std::size_t row = 0; row < 8; ++row)
            text += hex_byte(source.chr[code].bitmap[row]) + (row < 7 ? ", " : "},");
        text += " /* " + hex_byte(static_cast<std::uint8_t>(code));
        // Inside quotes '*', '/' and '\' cannot end the comment or join the next line,
        // since the closing quote always follows them.
        if (code >= 0x20 && code < 0x7F)
            text += std::string(" '") + static_cast<char>(code) + "'";
        text += " */\n";
    }
    text += "};\n\n#endif\n";
    header = std::move(text);
    return "";
}
