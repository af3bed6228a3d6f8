#include "formats/psffile.hpp"

#include "art/words.hpp"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::uint8_t, 2> psf1_magic = {0x36, 0x04};
constexpr std::array<std::uint8_t, 4> psf2_magic = {0x72, 0xB5, 0x4A, 0x86};
constexpr std::size_t psf1_header_size = 4;
constexpr std::size_t psf2_header_size = 32;
constexpr std::uint8_t psf1_mode_512 = 0x01;
constexpr std::uint8_t psf1_mode_has_table = 0x02;
constexpr std::uint32_t psf2_has_table = 0x01;

void append_utf8(char32_t point, std::vector<std::uint8_t>& out)
{
    const auto byte = [](char32_t value) { return static_cast<std::uint8_t>(value); };
    if (point < 0x80) {
        out.push_back(byte(point));
    } else if (point < 0x800) {
        out.insert(out.end(), {byte(0xC0 | point >> 6), byte(0x80 | (point & 0x3F))});
    } else if (point < 0x10000) {
        out.insert(out.end(), {byte(0xE0 | point >> 12), byte(0x80 | (point >> 6 & 0x3F)), byte(0x80 | (point & 0x3F))});
    } else {
        out.insert(out.end(), {byte(0xF0 | point >> 18), byte(0x80 | (point >> 12 & 0x3F)),
                               byte(0x80 | (point >> 6 & 0x3F)), byte(0x80 | (point & 0x3F))});
    }
}

// The Unicode table after the glyphs: for each glyph its character, then the end
// mark. Control characters and unassigned codes get none; the console draws no glyph
// for a control character anyway.
void append_unicode_table(const charset& set, int version, std::vector<std::uint8_t>& out)
{
    for (const char32_t point : set.code_points) {
        const bool listed = point != no_character && !is_control(point);
        if (version == 1) {
            // Version 1 holds 16-bit characters; a single-byte page has no others.
            if (listed && point <= 0xFFFF)
                out.insert(out.end(), {static_cast<std::uint8_t>(point), static_cast<std::uint8_t>(point >> 8)});
            out.insert(out.end(), {0xFF, 0xFF});
            continue;
        }
        if (listed)
            append_utf8(point, out);
        out.push_back(0xFF); // never a byte of UTF-8
    }
}

std::uint32_t little_endian_32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

void put_little_endian_32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::string size_error(std::uint64_t width, std::uint64_t height)
{
    return "glyphs are " + std::to_string(width) + " x " + std::to_string(height) +
           "; only 8 x 8 fonts can be read";
}

// Copies `count` 8-byte glyphs from `glyphs` (at least count * 8 bytes) into a font,
// takes the first 256 of a larger font, and says in `warning` when the count is not 256.
struct font glyphs_of(std::span<const std::uint8_t> glyphs, std::uint64_t count, std::string& warning)
{
    struct font result {};
    const std::size_t used = count < 256 ? static_cast<std::size_t>(count) : 256;
    for (std::size_t glyph = 0; glyph < used; ++glyph)
        for (std::size_t row = 0; row < 8; ++row)
            result.chr[glyph].bitmap[row] = mirror_row(glyphs[glyph * 8 + row]);
    if (count > 256)
        warning = "the font has " + std::to_string(count) + " glyphs; only the first 256 were read";
    else if (count < 256)
        warning = "the font has " + std::to_string(count) + " glyphs; the other " + std::to_string(256 - count) +
                  " were left blank";
    return result;
}

std::string truncated_error(std::uint64_t count, std::uint64_t charsize, std::uint64_t header, std::size_t size)
{
    return "the glyph data is truncated: " + std::to_string(count) + " glyphs of " + std::to_string(charsize) +
           " bytes need " + std::to_string(header + count * charsize) + " bytes, the file has " +
           std::to_string(size);
}

std::string read_psf1(std::span<const std::uint8_t> psf, struct font& result, std::string& warning)
{
    if (psf.size() < psf1_header_size)
        return "the file is " + counted(psf.size(), "byte") + " long; a PSF1 header has 4";
    const std::uint64_t count = psf[2] & psf1_mode_512 ? 512 : 256;
    const std::uint64_t height = psf[3];
    if (height != 8)
        return size_error(8, height);
    if (psf.size() - psf1_header_size < count * height)
        return truncated_error(count, height, psf1_header_size, psf.size());
    result = glyphs_of(psf.subspan(psf1_header_size), count, warning);
    return "";
}

std::string read_psf2(std::span<const std::uint8_t> psf, struct font& result, std::string& warning)
{
    if (psf.size() < psf2_header_size)
        return "the file is " + counted(psf.size(), "byte") + " long; a PSF2 header has 32";
    const std::uint32_t version = little_endian_32(psf, 4);
    const std::uint64_t header_size = little_endian_32(psf, 8);
    const std::uint64_t count = little_endian_32(psf, 16);
    const std::uint64_t charsize = little_endian_32(psf, 20);
    const std::uint64_t height = little_endian_32(psf, 24);
    const std::uint64_t width = little_endian_32(psf, 28);
    if (version != 0)
        return "PSF2 version " + std::to_string(version) + " is not known; only version 0 can be read";
    if (header_size < psf2_header_size || header_size > psf.size())
        return "the header size " + std::to_string(header_size) + " is not between 32 and the file size " +
               std::to_string(psf.size());
    if (width != 8 || height != 8)
        return size_error(width, height);
    // Each row takes whole bytes, so an 8 x 8 glyph is exactly 8 bytes.
    if (charsize != height * ((width + 7) / 8))
        return "glyphs of 8 x 8 take 8 bytes, but the header says " + std::to_string(charsize);
    // Both factors are below 2^32, so the product cannot overflow 64 bits.
    if (psf.size() - header_size < count * charsize)
        return truncated_error(count, charsize, header_size, psf.size());
    result = glyphs_of(psf.subspan(static_cast<std::size_t>(header_size)), count, warning);
    return "";
}

} // namespace

std::string read_psf(std::span<const std::uint8_t> psf, struct font& result, std::string& warning)
{
    warning.clear();
    if (psf.size() >= psf2_magic.size() && std::equal(psf2_magic.begin(), psf2_magic.end(), psf.begin()))
        return read_psf2(psf, result, warning);
    if (psf.size() >= psf1_magic.size() && std::equal(psf1_magic.begin(), psf1_magic.end(), psf.begin()))
        return read_psf1(psf, result, warning);
    return "this is not a PSF font: it starts with neither 36 04 nor 72 B5 4A 86";
}

std::vector<std::uint8_t> write_psf(const struct font& source, int version, const charset* set)
{
    std::vector<std::uint8_t> out;
    if (version == 1) {
        out = {psf1_magic[0], psf1_magic[1], static_cast<std::uint8_t>(set ? psf1_mode_has_table : 0), 8};
    } else {
        out.assign(psf2_magic.begin(), psf2_magic.end());
        const std::uint32_t flags = set ? psf2_has_table : 0;
        for (const std::uint32_t field : {0u, 32u, flags, 256u, 8u, 8u, 8u}) // version .. width
            put_little_endian_32(out, field);
    }
    for (const fontchar& glyph : source.chr)
        for (const std::uint8_t row : glyph.bitmap)
            out.push_back(mirror_row(row));
    if (set)
        append_unicode_table(*set, version, out);
    return out;
}
