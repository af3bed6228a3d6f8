#include "formats/pngfile.hpp"

#include <spng.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

void png_decoder_deleter::operator()(spng_ctx* ctx) const
{
    spng_ctx_free(ctx);
}

namespace {

// The decoder keeps ancillary chunks (text, colour profiles) in memory; these bounds
// keep a hostile file from making it hold more than a few megabytes of them.
constexpr std::size_t chunk_size_limit = std::size_t{1} << 20;
constexpr std::size_t chunk_cache_limit = std::size_t{4} << 20;

// Where the pixels of each scanline lie: Adam7's seven passes, or one pass of every row.
struct pass_layout {
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    std::uint32_t column_step = 1;
    std::uint32_t row_step = 1;
};
constexpr pass_layout every_row{};
constexpr std::array<pass_layout, 7> adam7 = {{
    {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};

// The decoder's errors in a user's words, by ranges of its error codes.
struct error_words {
    int first;
    int last;
    const char* words;
};
constexpr auto decoder_errors = std::to_array<error_words>({
    {SPNG_EMEM, SPNG_EMEM, "out of memory"},
    {SPNG_EWIDTH, SPNG_ENOIHDR, "the file is damaged (its header is invalid)"},
    {SPNG_ECHUNK_POS, SPNG_ECHUNK_POS, "the file is damaged (a chunk is out of place)"},
    {SPNG_ECHUNK_SIZE, SPNG_ECHUNK_SIZE, "the file is damaged (a chunk has an impossible length)"},
    {SPNG_ECHUNK_CRC, SPNG_ECHUNK_CRC, "the file is damaged (a chunk's checksum is wrong)"},
    {SPNG_ECHUNK_TYPE, SPNG_ECHUNK_TYPE, "the file is damaged (a chunk has an invalid name)"},
    {SPNG_ECHUNK_UNKNOWN_CRITICAL, SPNG_ECHUNK_UNKNOWN_CRITICAL,
     "the file needs a chunk type that PNG readers do not know"},
    {SPNG_EDUP_PLTE, SPNG_EDUP_EXIF, "the file is damaged (a chunk that may appear once is repeated)"},
    {SPNG_ECHRM, SPNG_EEXIF, "the file is damaged (a palette, transparency or other chunk is invalid)"},
    {SPNG_EIDAT_TOO_SHORT, SPNG_EFILTER, "the file is damaged (its compressed pixel data is broken)"},
    {SPNG_EIO, SPNG_EOF, "the file ends before its last chunk"},
    {SPNG_ENOPLTE, SPNG_ENOPLTE, "the file is damaged (an indexed image without a palette)"},
    {SPNG_ECHUNK_LIMITS, SPNG_ECHUNK_LIMITS,
     "the file carries more extra data (text, colour profiles) than 1 MiB in a chunk or 4 MiB in all"},
    {SPNG_ECHUNK_STDLEN, SPNG_ECHUNK_STDLEN, "the file is damaged (a chunk has the wrong length)"},
});
static_assert(chunk_size_limit == std::size_t{1} << 20 && chunk_cache_limit == std::size_t{4} << 20,
              "the message above names these limits");

std::string library_error(int code)
{
    for (const error_words& each : decoder_errors)
        if (code >= each.first && code <= each.last)
            return each.words;
    return std::string("the file cannot be read as a PNG (") + spng_strerror(code) + ")";
}

std::uint32_t load32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// A chunk's four-letter name, or its bytes in hexadecimal when they are not letters.
std::string chunk_name(const std::uint8_t* type)
{
    const bool letters = std::all_of(type, type + 4, [](std::uint8_t c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    if (letters)
        return std::string(type, type + 4);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X", type[0], type[1], type[2], type[3]);
    return hex;
}

// The decoder stops reading once it has the pixels, so damage behind them would
// otherwise go unseen.
std::string check_chunks(std::span<const std::uint8_t> png)
{
    constexpr std::array<std::uint8_t, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.empty())
        return "the file is 0 bytes long";
    if (!std::equal(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(std::min(png.size(), signature.size())),
                    signature.begin()))
        return "the file is not a PNG image";
    constexpr const char* truncated = "the file ends before its last chunk";
    std::size_t at = signature.size();
    for (;;) {
        if (png.size() < at + 8)
            return truncated;
        const std::uint32_t length = load32(&png[at]);
        const std::string name = chunk_name(&png[at + 4]);
        if (length > 0x7FFFFFFFu)
            return "the file is damaged (length of chunk " + name + ")";
        if (png.size() - at - 8 < std::size_t{length} + 4)
            return truncated;
        const auto crc = static_cast<std::uint32_t>(crc32(0, &png[at + 4], length + 4));
        if (crc != load32(&png[at + 8 + length]))
            return "the file is damaged (checksum of chunk " + name + ")";
        at += 12 + std::size_t{length};
        if (name == "IEND")
            return "";
    }
}

std::string encoder_error(int code)
{
    return std::string("the PNG encoder failed (") + spng_strerror(code) + ")";
}

// Hands the encoder the header and, for an indexed image, its palette and alphas.
int set_form(spng_ctx* ctx, const png_form& form)
{
    spng_ihdr header{};
    header.width = form.width;
    header.height = form.height;
    header.bit_depth = form.depth;
    header.color_type = form.palette.empty() ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_INDEXED;
    int error = spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    if (!error)
        error = spng_set_ihdr(ctx, &header);
    if (error || form.palette.empty())
        return error;
    spng_plte plte{};
    spng_trns trns{};
    plte.n_entries = static_cast<std::uint32_t>(std::min<std::size_t>(form.palette.size(), 256));
    for (std::uint32_t i = 0; i < plte.n_entries; ++i) {
        const png_colour c = form.palette[i];
        plte.entries[i] = {c.red, c.green, c.blue, 0};
        trns.type3_alpha[i] = c.alpha;
        if (c.alpha != 255)
            trns.n_type3_entries = i + 1;
    }
    error = spng_set_plte(ctx, &plte);
    if (!error && trns.n_type3_entries > 0)
        error = spng_set_trns(ctx, &trns);
    return error;
}

} // namespace

std::string open_png(std::span<const std::uint8_t> png, png_reader& reader)
{
    if (std::string error = check_chunks(png); !error.empty())
        return error;
    reader.ctx.reset(spng_ctx_new(0));
    if (!reader.ctx)
        return "out of memory";
    spng_ctx* ctx = reader.ctx.get();
    spng_ihdr header{};
    int error = spng_set_chunk_limits(ctx, chunk_size_limit, chunk_cache_limit);
    if (!error)
        error = spng_set_png_buffer(ctx, png.data(), png.size());
    if (!error)
        error = spng_get_ihdr(ctx, &header);
    reader.width = header.width;
    reader.height = header.height;
    reader.bit_depth = header.bit_depth;
    reader.interlaced = header.interlace_method != 0;
    reader.indexed = header.color_type == SPNG_COLOR_TYPE_INDEXED;
    return error ? library_error(error) : "";
}

std::string start_decoding(png_reader& reader)
{
    spng_ctx* ctx = reader.ctx.get();
    const int format = reader.indexed ? SPNG_FMT_PNG : SPNG_FMT_RGBA8;
    const int flags = SPNG_DECODE_PROGRESSIVE | (reader.indexed ? 0 : SPNG_DECODE_TRNS);
    int error = spng_decode_image(ctx, nullptr, 0, format, flags);
    if (error || !reader.indexed)
        return error ? library_error(error) : "";
    spng_plte plte{};
    error = spng_get_plte(ctx, &plte);
    if (error)
        return library_error(error);
    spng_trns trns{};
    if (spng_get_trns(ctx, &trns) != 0)
        trns.n_type3_entries = 0;
    reader.palette_size = std::min(plte.n_entries, 256u);
    for (std::uint32_t i = 0; i < reader.palette_size; ++i) {
        const spng_plte_entry& entry = plte.entries[i];
        const std::uint8_t alpha = i < trns.n_type3_entries ? trns.type3_alpha[i] : 255;
        reader.palette[i] = {entry.red, entry.green, entry.blue, alpha};
    }
    return "";
}

std::string read_scanlines(png_reader& reader, const scanline_taker& on_scanline)
{
    spng_ctx* ctx = reader.ctx.get();
    const std::size_t row_size = reader.indexed ? (std::size_t{reader.width} * reader.bit_depth + 7) / 8
                                                : std::size_t{reader.width} * 4;
    std::vector<std::uint8_t> row(row_size);
    int error = 0;
    while (error == 0) {
        spng_row_info info{};
        error = spng_get_row_info(ctx, &info);
        if (error == 0)
            error = spng_decode_scanline(ctx, row.data(), row.size());
        if (error != 0 && error != SPNG_EOI)
            return library_error(error);
        const pass_layout& pass = reader.interlaced ? adam7[static_cast<std::size_t>(info.pass) % 7] : every_row;
        png_scanline line;
        line.y = pass.top + info.scanline_idx * pass.row_step;
        line.left = pass.left;
        line.step = pass.column_step;
        line.count = pass.left < reader.width ? (reader.width - pass.left - 1) / pass.column_step + 1 : 0;
        line.bytes = row.data();
        if (std::string refusal = on_scanline(line); !refusal.empty())
            return refusal;
    }
    // Whatever follows the pixels must be sound too.
    error = spng_decode_chunks(ctx);
    return error ? library_error(error) : "";
}

std::string encode_png(const png_form& form, const row_filler& fill_row, std::vector<std::uint8_t>& png)
{
    const std::unique_ptr<spng_ctx, png_decoder_deleter> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx)
        return "out of memory";
    int error = set_form(ctx.get(), form);
    if (!error)
        error = spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    const std::size_t channels = form.palette.empty() ? 4 : 1;
    std::vector<std::uint8_t> row((std::size_t{form.width} * channels * form.depth + 7) / 8);
    for (std::uint32_t y = 0; !error && y < form.height; ++y) {
        fill_row(y, row);
        error = spng_encode_row(ctx.get(), row.data(), row.size());
    }
    if (error != 0 && error != SPNG_EOI)
        return encoder_error(error);
    std::size_t length = 0;
    const std::unique_ptr<void, decltype(&std::free)> buffer(spng_get_png_buffer(ctx.get(), &length, &error),
                                                             &std::free);
    if (!buffer)
        return encoder_error(error);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
    png.assign(bytes, bytes + length);
    return "";
}
