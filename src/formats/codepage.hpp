// The system's own converter for code pages, behind charset.cpp: on Linux and in the
// browser the C library's iconv (codepage_iconv.cpp), on Windows the system's
// MultiByteToWideChar (codepage_windows.cpp); this folder's CMakeLists.txt compiles the
// one that fits. Nothing here prints or fails otherwise.
#pragma once
#include <array>
#include <cctype>
#include <string>
#include <string_view>

// A page's name as the converters compare names: letters upper-cased, dashes and the
// like dropped ("iso-8859-1" and "ISO8859_1" are both "ISO88591").
inline std::string plain_name(std::string_view name)
{
    std::string plain;
    for (const char c : name)
        if (std::isalnum(static_cast<unsigned char>(c)))
            plain += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return plain;
}

enum class decoded { single_byte, unknown, multi_byte };

// Who knows the pages, for the message that names an unknown one ("iconv", "Windows").
extern const char* const code_page_converter;

// Fills `table` with the character of each byte of the page called `name` (any case,
// any of the converter's names for it), no_character for a byte the page leaves
// unassigned. Says whether the page is single-byte, unknown, or has longer sequences
// (`table` then holds nothing of use).
decoded decode_page(std::string_view name, std::array<char32_t, 256>& table);
