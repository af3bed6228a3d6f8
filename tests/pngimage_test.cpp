#include "formats/pngimage.hpp"

#include "art/bitmap.hpp"
#include "display/palette.hpp"
#include "support.hpp"

#include <gtest/gtest.h>
#include <spng.h>
#include <zlib.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>

namespace {

// A PNG made by libspng's encoder from whole rows of samples, as another program
// would make it, with `palette` (0xRRGGBB words) and `trns` where given.
bytes make_png(std::uint32_t width, std::uint32_t height, std::uint8_t colour_type, std::uint8_t depth,
               const bytes& rows, const std::vector<std::uint32_t>& palette = {}, const spng_trns* trns = nullptr,
               bool interlaced = false)
{
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{width, height, depth, colour_type, 0, 0, static_cast<std::uint8_t>(interlaced)};
    EXPECT_EQ(spng_set_ihdr(ctx, &header), 0);
    if (!palette.empty()) {
        spng_plte plte{};
        plte.n_entries = static_cast<std::uint32_t>(palette.size());
        for (std::size_t i = 0; i < palette.size(); ++i)
            plte.entries[i] = {static_cast<std::uint8_t>(palette[i] >> 16), static_cast<std::uint8_t>(palette[i] >> 8),
                               static_cast<std::uint8_t>(palette[i]), 0};
        EXPECT_EQ(spng_set_plte(ctx, &plte), 0);
    }
    if (trns) {
        spng_trns copy = *trns;
        EXPECT_EQ(spng_set_trns(ctx, &copy), 0);
    }
    EXPECT_EQ(spng_encode_image(ctx, rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE), 0);
    std::size_t length = 0;
    int error = 0;
    auto* buffer = static_cast<std::uint8_t*>(spng_get_png_buffer(ctx, &length, &error));
    bytes png(buffer, buffer + length);
    std::free(buffer);
    spng_ctx_free(ctx);
    return png;
}

// The image as 0xRRGGBBAA words, decoded by libspng alone.
std::vector<std::uint32_t> decode_rgba(const bytes& png)
{
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, png.data(), png.size());
    std::size_t size = 0;
    spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size);
    bytes rgba(size);
    EXPECT_EQ(spng_decode_image(ctx, rgba.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS), 0);
    spng_ctx_free(ctx);
    std::vector<std::uint32_t> words(size / 4);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = rgba[4 * i] << 24 | rgba[4 * i + 1] << 16 | rgba[4 * i + 2] << 8 | rgba[4 * i + 3];
    return words;
}

bool pngcheck_accepts(const bytes& png)
{
    const temp_dir dir;
    write_file(dir.file("image.png"), png);
    return std::system(("pngcheck -q " + dir.file("image.png") + " >/dev/null").c_str()) == 0;
}

// Rows of `channels` samples of `depth` bits for each pixel, as a PNG holds them before
// compression: narrow samples packed from the high bit, 16-bit ones big-endian.
bytes pack_rows(std::uint32_t width, std::uint32_t height, std::uint32_t channels, std::uint32_t depth,
                const std::function<std::uint32_t(std::uint32_t x, std::uint32_t y, std::uint32_t channel)>& sample)
{
    bytes rows;
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint32_t bits = 0;
        std::uint32_t used = 0;
        for (std::uint32_t x = 0; x < width; ++x)
            for (std::uint32_t c = 0; c < channels; ++c) {
                bits = bits << depth | sample(x, y, c);
                for (used += depth; used >= 8; used -= 8)
                    rows.push_back(static_cast<std::uint8_t>(bits >> (used - 8)));
            }
        if (used > 0)
            rows.push_back(static_cast<std::uint8_t>(bits << (8 - used)));
    }
    return rows;
}

// The offset of every chunk of a well-formed PNG, and its name.
std::vector<std::pair<std::size_t, std::string>> chunks_of(const bytes& png)
{
    std::vector<std::pair<std::size_t, std::string>> chunks;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = std::size_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        chunks.emplace_back(at, std::string(png.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                            png.begin() + static_cast<std::ptrdiff_t>(at + 8)));
        at += 12 + length;
    }
    return chunks;
}

struct sprite_block {
    bitmap sprite{};
    ~sprite_block() { std::free(sprite.bitmap); }
};

std::string read_sprite(const bytes& png, std::uint32_t scale, bool nearest, bytes& pixels)
{
    sprite_block read;
    std::string error = read_png_sprite(png, scale, nearest, read.sprite);
    if (error.empty())
        pixels.assign(read.sprite.bitmap, read.sprite.bitmap + read.sprite.width * read.sprite.height);
    else
        EXPECT_EQ(read.sprite.bitmap, nullptr) << "a failed read must leave the sprite alone";
    return error;
}

TEST(PngSprite, RoundTripsEveryValueByteForByteAtAnyScale)
{
    // 7 x 5 holds the 17 values twice over, so rows differ, and a byte no editor
    // draws, which only the index-for-index reading keeps.
    bytes pixels(7 * 5);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<std::uint8_t>(i % 17 == 16 ? transparent : i % 17);
    pixels.back() = 0x93;
    const bitmap sprite{5, 7, pixels.data()};
    for (std::uint32_t scale : {1u, 3u}) {
        bytes png;
        ASSERT_EQ(write_png_sprite(sprite, scale, png), "");
        bytes again;
        ASSERT_EQ(write_png_sprite(sprite, scale, again), "");
        EXPECT_EQ(png, again) << "the writer must be deterministic";
        EXPECT_TRUE(pngcheck_accepts(png));

        // The colours another reader sees: entry 255 transparent, the rest opaque.
        const std::vector<std::uint32_t> rgba = decode_rgba(png);
        ASSERT_EQ(rgba.size(), 35 * scale * scale);
        EXPECT_EQ(rgba[1 * scale], rgbx_of(1) | 0xFF);          // pixel 1 is colour 1
        EXPECT_EQ(rgba[2 * 7 * scale * scale + 2 * scale], 0u); // pixel 16 (2, 2) is transparent

        bytes read;
        ASSERT_EQ(read_sprite(png, scale, false, read), "") << "scale " << scale;
        EXPECT_EQ(read, pixels) << "scale " << scale;
    }
    bytes png;
    EXPECT_EQ(write_png_sprite(bitmap{0, 4, pixels.data()}, 1, png), "the sprite is 4 x 0 pixels: a PNG needs at least one");
    EXPECT_TRUE(png.empty());
}

TEST(PngSprite, ReadsOtherImagesByColour)
{
    // RGBA: colour 9, fully and half transparent, colour 12 at alpha 128, a red off by 3.
    const bytes rgba_rows = {0x5F, 0x5F, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0x00, 0x12, 0x34, 0x56, 0x7F,
                             0xFF, 0x5F, 0x5F, 0x80, 0xA3, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF};
    const bytes rgba_png = make_png(3, 2, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, rgba_rows);
    bytes read;
    EXPECT_EQ(read_sprite(rgba_png, 1, false, read), "pixel (1, 1) is #A30000, not one of the 16 colours");
    ASSERT_EQ(read_sprite(rgba_png, 1, true, read), "");
    EXPECT_EQ(read, (bytes{9, transparent, transparent, 12, 4, 0}));

    // 16-bit grey and alpha, interlaced: dark grey, white, transparent.
    const bytes grey_rows = {0x5F, 0x5F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};
    const bytes grey_png = make_png(3, 1, SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 16, grey_rows, {}, nullptr, true);
    ASSERT_EQ(read_sprite(grey_png, 1, false, read), "");
    EXPECT_EQ(read, (bytes{8, 15, transparent}));
}

TEST(PngSprite, RefusesWhatNoSpriteCanHoldNamingThePixel)
{
    bytes read;
    // Two bits per index, three palette entries: index 3 at (1, 0) has no colour.
    const bytes past_palette = make_png(2, 1, SPNG_COLOR_TYPE_INDEXED, 2, {0x30}, {0x000000, 0x0000A0, 0x00A000});
    EXPECT_EQ(read_sprite(past_palette, 1, true, read), "pixel (1, 0) is palette index 3, past the end of the 3-entry palette");

    EXPECT_EQ(read_sprite(make_png(256, 1, SPNG_COLOR_TYPE_GRAYSCALE, 8, bytes(256)), 1, false, read),
              "the image is 256 x 1 pixels; a sprite is at most 255 x 255");

    // A 4 x 4 picture at scale 2 whose lower right block has one grey pixel.
    bytes grey(16, 0);
    grey[3 * 4 + 2] = 0xFF;
    const bytes blocks = make_png(4, 4, SPNG_COLOR_TYPE_GRAYSCALE, 8, grey);
    EXPECT_EQ(read_sprite(blocks, 2, false, read), "the 2 x 2 block at (2, 2) is not of one colour");
    EXPECT_EQ(read_sprite(blocks, 3, false, read), "the image is 4 x 4 pixels, not a whole number of 3 x 3 blocks");
    EXPECT_EQ(read_sprite(bytes{0x89, 'P', 'N'}, 1, false, read), "the file ends before its last chunk");
    EXPECT_EQ(read_sprite(bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, 1, false, read), "the file is not a PNG image");
}

TEST(PngImage, RefusesAHugeHeaderBeforeTakingPixelMemory)
{
    // A real PNG whose header claims 100000 x 100000, its checksum made right again.
    std::uint8_t pixel = 3;
    bytes png;
    ASSERT_EQ(write_png_sprite(bitmap{1, 1, &pixel}, 1, png), "");
    for (std::size_t offset : {16u, 20u}) {
        png[offset] = 0x00;
        png[offset + 1] = 0x01;
        png[offset + 2] = 0x86;
        png[offset + 3] = 0xA0;
    }
    const auto crc = static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; ++i)
        png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));

    bytes read;
    EXPECT_EQ(read_sprite(png, 4, false, read), "the image is 100000 x 100000 pixels; a sprite is at most 1020 x 1020 at scale 4");
    struct font sheet {};
    EXPECT_EQ(read_png_sheet(png, 1, false, sheet), "the image is 100000 x 100000 pixels; a font sheet is 128 x 128");
}

TEST(PngSheet, LaysGlyphsOutLeftToRightTopToBottomAndRoundTrips)
{
    struct font source {};
    for (std::uint32_t b = 0; b < 256; ++b)
        for (std::uint32_t r = 0; r < 8; ++r)
            source.chr[b].bitmap[r] = static_cast<std::uint8_t>(b * 7 + r * 29 + (b >> 3));
    source.chr[0x12].bitmap = {0, 0, 0, 0x02, 0, 0, 0, 0}; // one pixel: (1, 3) in cell (2, 1)
    source.chr[0x21].bitmap = {};

    bytes png;
    ASSERT_EQ(write_png_sheet(source, 2, png), "");
    EXPECT_TRUE(pngcheck_accepts(png));
    const std::vector<std::uint32_t> rgba = decode_rgba(png);
    ASSERT_EQ(rgba.size(), 256u * 256u);
    const auto at = [&](std::uint32_t x, std::uint32_t y) { return rgba[256 * y + x]; };
    EXPECT_EQ(at(2 * (16 + 1) + 1, 2 * (8 + 3) + 1), 0xFFFFFFFFu); // set: opaque white
    EXPECT_EQ(at(2 * (16 + 3) + 1, 2 * (8 + 1) + 1), 0x00000000u); // mirrored or transposed: clear
    EXPECT_EQ(at(2 * (8 + 3), 2 * (16 + 1)), 0x00000000u);

    struct font read {};
    ASSERT_EQ(read_png_sheet(png, 2, false, read), "");
    EXPECT_EQ(write_font_file(read), write_font_file(source));
    EXPECT_EQ(read_png_sheet(png, 1, false, read), "the image is 256 x 256 pixels; a font sheet is 128 x 128");
}

TEST(PngSheet, TakesOpaqueLightPixelsOrWithInvertOpaqueDarkOnes)
{
    // Grey: black, but a white pixel at (17, 11) and a light grey (0, 0) that the
    // tRNS colour key makes transparent.
    bytes grey(128 * 128, 0);
    grey[128 * 11 + 17] = 0xFF;
    grey[0] = 0xC8;
    spng_trns key{};
    key.gray = 0xC8;
    const bytes png = make_png(128, 128, SPNG_COLOR_TYPE_GRAYSCALE, 8, grey, {}, &key);

    struct font light {};
    ASSERT_EQ(read_png_sheet(png, 1, false, light), "");
    struct font want {};
    want.chr[0x12].bitmap[3] = 0x02;
    EXPECT_EQ(write_font_file(light), write_font_file(want));

    struct font dark {};
    ASSERT_EQ(read_png_sheet(png, 1, true, dark), "");
    for (auto& glyph : want.chr)
        glyph.bitmap.fill(0xFF);
    want.chr[0x12].bitmap[3] = 0xFD;
    want.chr[0x00].bitmap[0] = 0xFE;
    EXPECT_EQ(write_font_file(dark), write_font_file(want));
}

TEST(PngSprite, EveryColourTypeDepthAndInterlacingReadsBackTheSameSprite)
{
    // A random 13 x 11 sprite in colours a grey image can hold too, so that every
    // encoding below carries the same picture; enlarged, each pixel a block.
    constexpr std::array<std::uint8_t, 5> greys = {0, 7, 8, 15, transparent};
    std::mt19937 random(12);
    bytes pixels(13 * 11);
    for (std::uint8_t& value : pixels)
        value = greys[random() % greys.size()];
    struct encoding {
        std::uint8_t colour_type;
        std::uint8_t depth;
        std::uint32_t channels;
    };
    const std::vector<encoding> encodings = {
        {SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8, 2}, {SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 16, 2},
        {SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, 4}, {SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 16, 4},
        {SPNG_COLOR_TYPE_INDEXED, 4, 1},         {SPNG_COLOR_TYPE_INDEXED, 8, 1}};
    // The palette lists the colours in another order than the editor's; entry 0 is clear.
    const std::vector<std::uint32_t> palette = {0x123456, 0x000000, 0xA0A0A0, 0x5F5F5F, 0xFFFFFF};
    spng_trns first_clear{};
    first_clear.n_type3_entries = 1;
    const auto entry_of = [&](std::uint8_t value) {
        return static_cast<std::uint32_t>(std::find(greys.begin(), greys.end(), value) - greys.begin() + 1) % 5;
    };
    for (const std::uint32_t scale : {1u, 3u})
        for (const encoding& e : encodings)
            for (const bool interlaced : {false, true}) {
                const std::uint32_t width = 13 * scale;
                const std::uint32_t height = 11 * scale;
                const std::uint32_t top = (1u << e.depth) - 1;
                const bytes rows = pack_rows(width, height, e.channels, e.depth, [&](std::uint32_t x, std::uint32_t y, std::uint32_t c) {
                    const std::uint8_t value = pixels[13 * (y / scale) + x / scale];
                    if (e.colour_type == SPNG_COLOR_TYPE_INDEXED)
                        return entry_of(value);
                    if (c + 1 == e.channels)
                        return value == transparent ? 0u : top;
                    return value == transparent ? 0u : (rgbx_of(value) >> 8 & 0xFF) * top / 255;
                });
                const bool indexed = e.colour_type == SPNG_COLOR_TYPE_INDEXED;
                const bytes png = make_png(width, height, e.colour_type, e.depth, rows,
                                           indexed ? palette : std::vector<std::uint32_t>{},
                                           indexed ? &first_clear : nullptr, interlaced);
                bytes read;
                EXPECT_EQ(read_sprite(png, scale, false, read), "");
                EXPECT_EQ(read, pixels) << "colour type " << int(e.colour_type) << ", depth " << int(e.depth)
                                        << (interlaced ? ", interlaced" : "") << ", scale " << scale;
            }
}

TEST(PngImage, EveryChunkOfEveryColourTypeIsCheckedUpToTheEnd)
{
    const std::uint8_t pixel = 9;
    bytes sprite_png;
    ASSERT_EQ(write_png_sprite(bitmap{1, 1, const_cast<std::uint8_t*>(&pixel)}, 2, sprite_png), "");
    struct font empty {};
    bytes sheet_png;
    ASSERT_EQ(write_png_sheet(empty, 1, sheet_png), "");
    const std::vector<bytes> images = {
        make_png(2, 1, SPNG_COLOR_TYPE_GRAYSCALE, 8, {0, 0xFF}),
        make_png(1, 1, SPNG_COLOR_TYPE_TRUECOLOR, 8, {0xA0, 0, 0}),
        make_png(1, 1, SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8, {0xFF, 0xFF}),
        make_png(1, 1, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, {0, 0, 0, 0}), sprite_png, sheet_png};
    for (const bytes& png : images) {
        const bool sheet = &png == &images.back();
        const auto read = [&](const bytes& data) {
            if (sheet) {
                struct font result {};
                return read_png_sheet(data, 1, false, result);
            }
            bytes ignored;
            return read_sprite(data, png == sprite_png ? 2 : 1, false, ignored);
        };
        ASSERT_EQ(read(png), "");
        for (const auto& [at, name] : chunks_of(png)) {
            // One bit flipped in the middle of the chunk's data, or in the checksum of an empty one.
            const std::size_t length = std::size_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
            bytes damaged = png;
            damaged[at + 8 + length / 2] ^= 0x10;
            EXPECT_EQ(read(damaged), "the file is damaged (checksum of chunk " + name + ")");
        }
        EXPECT_EQ(read(bytes(png.begin(), png.end() - 1)), "the file ends before its last chunk");
        EXPECT_EQ(read(bytes(png.begin(), png.begin() + 9)), "the file ends before its last chunk");
        EXPECT_EQ(read({}), "the file is 0 bytes long");
        for (std::size_t length = 1; length < png.size(); ++length)
            EXPECT_NE(read(bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(length))), "") << length;
    }
}

TEST(PngImage, DecoderFailuresAreSaidInPlainWords)
{
    // A zlib stream cut short inside an IDAT whose checksum is right.
    bytes png = make_png(1, 1, SPNG_COLOR_TYPE_GRAYSCALE, 8, {0x00});
    const auto chunks = chunks_of(png);
    const std::size_t idat = chunks[1].first;
    ASSERT_EQ(chunks[1].second, "IDAT");
    png[idat + 3] = 2;
    png.erase(png.begin() + static_cast<std::ptrdiff_t>(idat + 10), png.begin() + static_cast<std::ptrdiff_t>(chunks[2].first - 4));
    const auto crc = static_cast<std::uint32_t>(crc32(0, png.data() + idat + 4, 6));
    for (int i = 0; i < 4; ++i)
        png[idat + 10 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    bytes read;
    EXPECT_EQ(read_sprite(png, 1, false, read), "the file is damaged (its compressed pixel data is broken)");
}

} // namespace

TEST(PngSprite, AStrayPixelAnywhereInAnEnlargedSpriteNamesItsBlock)
{
    // The sprite palette, so that rows are read as runs of bytes, plain or interlaced.
    std::vector<std::uint32_t> palette;
    spng_trns trns{};
    trns.n_type3_entries = 256;
    for (std::uint32_t v = 0; v < 256; ++v) {
        palette.push_back(v == transparent ? 0 : rgbx_of(static_cast<std::uint8_t>(v)) >> 8);
        trns.type3_alpha[v] = v == transparent ? 0 : 255;
    }
    std::mt19937 random(19);
    for (int round = 0; round < 60; ++round) {
        const std::uint32_t scale = 1 + random() % 5;
        const std::uint32_t columns = 1 + random() % 9;
        const std::uint32_t rows = 1 + random() % 9;
        const std::uint32_t width = columns * scale;
        const std::uint32_t height = rows * scale;
        bytes sprite(columns * rows);
        for (std::uint8_t& value : sprite)
            value = static_cast<std::uint8_t>(random() % 17 == 16 ? transparent : random() % 16);
        bytes picture(std::size_t{width} * height);
        for (std::uint32_t y = 0; y < height; ++y)
            for (std::uint32_t x = 0; x < width; ++x)
                picture[y * width + x] = sprite[(y / scale) * columns + x / scale];
        const bool interlaced = round % 3 == 0;
        bytes read;
        ASSERT_EQ(read_sprite(make_png(width, height, SPNG_COLOR_TYPE_INDEXED, 8, picture, palette, &trns, interlaced),
                              scale, false, read),
                  "");
        EXPECT_EQ(read, sprite);
        if (scale == 1)
            continue;
        const std::uint32_t x = random() % width;
        const std::uint32_t y = random() % height;
        picture[y * width + x] ^= 1;
        const bytes stray = make_png(width, height, SPNG_COLOR_TYPE_INDEXED, 8, picture, palette, &trns, interlaced);
        const std::string block = std::to_string(scale) + " x " + std::to_string(scale) + " block at (" +
                                  std::to_string(x / scale * scale) + ", " + std::to_string(y / scale * scale) + ")";
        EXPECT_EQ(read_sprite(stray, scale, false, read), "the " + block + " is not of one colour")
            << "stray pixel (" << x << ", " << y << ") interlaced " << interlaced;
        // The same through a sheet's areas: two frames sharing the stray pixel's block
        // blame it in the first of them, whose corner is the picture's.
        const image_area whole{0, 0, width, height};
        const std::array<image_area, 2> areas = {whole, whole};
        std::vector<bytes> values;
        EXPECT_EQ(read_png_areas(stray, scale, false, areas, values), "the " + block + " is not of one colour");
    }
}
