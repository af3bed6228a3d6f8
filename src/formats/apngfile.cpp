#include "formats/apngfile.hpp"

#include "formats/pngimage.hpp"

#include <zlib.h>

#include <cstring>
#include <numeric>
#include <string_view>

namespace {

constexpr std::size_t signature_size = 8;

std::uint32_t load32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

// Appends a whole chunk: length, type, data and the checksum over type and data.
void put_chunk(std::vector<std::uint8_t>& out, std::string_view type, std::span<const std::uint8_t> data)
{
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t type_at = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    put32(out, static_cast<std::uint32_t>(crc32(0, out.data() + type_at, static_cast<uInt>(out.size() - type_at))));
}

struct chunk {
    std::string_view type;
    std::span<const std::uint8_t> data;
};

// The chunks of a PNG the encoder just made, so only its framing is looked at.
std::vector<chunk> chunks_of(std::span<const std::uint8_t> png)
{
    std::vector<chunk> found;
    for (std::size_t at = signature_size; at + 12 <= png.size();) {
        const std::uint32_t length = load32(png.data() + at);
        found.push_back({{reinterpret_cast<const char*>(png.data() + at + 4), 4}, png.subspan(at + 8, length)});
        at += 12 + std::size_t{length};
    }
    return found;
}

// A delay as the fraction fcTL stores: milliseconds over 1000, reduced until both fit
// 16 bits, which only durations over 65.535 s need (they keep whole hundredths).
void delay_fraction(std::uint32_t ms, std::uint32_t& numerator, std::uint32_t& denominator)
{
    const std::uint32_t common = std::gcd(ms, 1000u);
    numerator = ms / common;
    denominator = 1000 / common;
    if (numerator > 65535) {
        numerator = (ms + 5) / 10;
        denominator = 100;
    }
}

std::vector<std::uint8_t> frame_control(std::uint32_t sequence, std::uint32_t width, std::uint32_t height,
                                        std::uint32_t ms)
{
    std::uint32_t numerator = 0;
    std::uint32_t denominator = 0;
    delay_fraction(ms, numerator, denominator);
    std::vector<std::uint8_t> data;
    put32(data, sequence);
    put32(data, width);
    put32(data, height);
    put32(data, 0); // x offset
    put32(data, 0); // y offset
    put16(data, numerator);
    put16(data, denominator);
    data.push_back(1); // dispose op: background, a transparent canvas
    data.push_back(0); // blend op: source, the frame replaces what was there
    return data;
}

std::string encode_frame(const animation& source, std::size_t index, std::uint32_t scale,
                         std::vector<std::uint8_t>& png)
{
    const std::uint32_t width = source.width * scale;
    std::vector<std::uint8_t> values(std::size_t{width} * source.height * scale);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t x = i % width / scale;
        const std::size_t y = i / width / scale;
        values[i] = source.frames[index][source.width * y + x];
    }
    return write_png_picture(width, source.height * scale, values, png);
}

} // namespace

std::string write_apng(const animation& source, std::uint32_t scale, std::vector<std::uint8_t>& apng)
{
    if (source.frames.empty() || source.frames.size() != source.durations_ms.size())
        return "an animation needs at least one frame, each with its duration";
    const std::uint32_t width = source.width * scale;
    const std::uint32_t height = source.height * scale;
    if (width > max_sheet_side || height > max_sheet_side)
        return "the animation would be " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels; an APNG is at most " + std::to_string(max_sheet_side) + " pixels either way";
    std::vector<std::uint8_t> out;
    std::uint32_t sequence = 0;
    for (std::size_t i = 0; i < source.frames.size(); ++i) {
        std::vector<std::uint8_t> png;
        if (std::string problem = encode_frame(source, i, scale, png); !problem.empty())
            return problem;
        if (i == 0)
            out.assign(png.begin(), png.begin() + signature_size);
        bool control_written = false;
        for (const chunk& piece : chunks_of(png)) {
            const bool pixels = piece.type == "IDAT";
            if (pixels && !control_written) {
                if (i == 0) {
                    std::vector<std::uint8_t> count;
                    put32(count, static_cast<std::uint32_t>(source.frames.size()));
                    put32(count, source.loops);
                    put_chunk(out, "acTL", count);
                }
                put_chunk(out, "fcTL", frame_control(sequence++, width, height, source.durations_ms[i]));
                control_written = true;
            }
            if (i == 0 && piece.type != "IEND") {
                put_chunk(out, piece.type, piece.data);
            } else if (i > 0 && pixels) {
                std::vector<std::uint8_t> data;
                put32(data, sequence++);
                data.insert(data.end(), piece.data.begin(), piece.data.end());
                put_chunk(out, "fdAT", data);
            }
        }
    }
    put_chunk(out, "IEND", {});
    apng = std::move(out);
    return "";
}
