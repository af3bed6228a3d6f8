#include "formats/giffile.hpp"

#include "art/structs.hpp"
#include "formats/colours.hpp"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

constexpr int table_size = 32;         // a GIF colour table holds a power of two entries
constexpr int transparent_index = 16;  // the first entry after the 16 colours
constexpr std::uint32_t max_side = 255;

struct rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

rgb colour_of(std::uint8_t value)
{
    const std::uint32_t word = picture_colours[value & 15];
    return {static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
            static_cast<std::uint8_t>(word >> 8)};
}

std::string gif_error(const char* what, int code)
{
    const char* text = GifErrorString(code);
    return std::string(what) + " (" + (text ? text : "unknown error") + ")";
}

// ---- Writing ----

int put_bytes(GifFileType* file, const GifByteType* data, int length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(file->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

struct encoder_closer {
    void operator()(GifFileType* file) const { EGifCloseFile(file, nullptr); }
};

// The NETSCAPE2.0 application extension: sub-block 1 holds the repeats after the first play.
int put_loop_extension(GifFileType* file, std::uint32_t loops)
{
    const std::uint32_t repeats = loops == 0 ? 0 : loops - 1;
    const GifByteType name[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const GifByteType count[] = {1, static_cast<GifByteType>(repeats & 0xFF), static_cast<GifByteType>(repeats >> 8)};
    int status = EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE);
    if (status == GIF_OK)
        status = EGifPutExtensionBlock(file, sizeof name, name);
    if (status == GIF_OK)
        status = EGifPutExtensionBlock(file, sizeof count, count);
    return status == GIF_OK ? EGifPutExtensionTrailer(file) : status;
}

int put_frame(GifFileType* file, const animation& source, std::size_t index, std::uint32_t scale)
{
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_BACKGROUND;
    control.UserInputFlag = false;
    control.DelayTime = gif_delay_of(source.durations_ms[index]);
    control.TransparentColor = transparent_index;
    GifByteType extension[4];
    const auto length = static_cast<int>(EGifGCBToExtension(&control, extension));
    const auto width = static_cast<int>(source.width * scale);
    const auto height = static_cast<int>(source.height * scale);
    int status = EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, length, extension);
    if (status == GIF_OK)
        status = EGifPutImageDesc(file, 0, 0, width, height, false, nullptr);
    std::vector<GifPixelType> line(static_cast<std::size_t>(width));
    const std::vector<std::uint8_t>& values = source.frames[index];
    for (std::uint32_t y = 0; status == GIF_OK && y < source.height * scale; ++y) {
        const std::uint8_t* row = values.data() + std::size_t{source.width} * (y / scale);
        for (std::size_t x = 0; x < line.size(); ++x) {
            const std::uint8_t value = row[x / scale];
            line[x] = value == transparent ? transparent_index : value & 15;
        }
        status = EGifPutLine(file, line.data(), width);
    }
    return status;
}

// ---- Reading ----

struct input_bytes {
    std::span<const std::uint8_t> data;
    std::size_t at = 0;
};

int get_bytes(GifFileType* file, GifByteType* buffer, int wanted)
{
    auto* in = static_cast<input_bytes*>(file->UserData);
    const std::size_t count = std::min(static_cast<std::size_t>(std::max(wanted, 0)), in->data.size() - in->at);
    std::memcpy(buffer, in->data.data() + in->at, count);
    in->at += count;
    return static_cast<int>(count);
}

struct decoder_closer {
    void operator()(GifFileType* file) const { DGifCloseFile(file, nullptr); }
};

// A canvas pixel as a browser holds it: transparent, or an opaque colour.
struct shown {
    bool opaque = false;
    rgb colour;
};

// What the extensions before a frame said about it.
struct frame_control {
    int disposal = DISPOSAL_UNSPECIFIED;
    int transparent_index = NO_TRANSPARENT_COLOR;
    std::uint32_t delay_cs = 0;
};

struct gif_reader {
    GifFileType* file;
    bool nearest;
    animation read;
    std::vector<shown> canvas; // empty until the first frame, which may make it larger
    frame_control next;
    const gif_frame_taker* take = nullptr; // each frame is handed on as it is made, not kept
    bool ended = false; // the file ended right after a frame's last pixel
};

std::string side_problem(const std::string& what, std::uint32_t width, std::uint32_t height)
{
    if (width == 0 || height == 0 || width > max_side || height > max_side)
        return what + " is " + std::to_string(width) + " x " + std::to_string(height) + " pixels; at least 1 x 1 "
               "and at most " + std::to_string(max_side) + " x " + std::to_string(max_side) + " can be read";
    return "";
}

// The canvas as sprite values; "" or the first colour not among the 16.
std::string sprite_values(const gif_reader& reader, std::vector<std::uint8_t>& values)
{
    values.resize(reader.canvas.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const shown& pixel = reader.canvas[i];
        std::uint32_t distance = 0;
        values[i] = pixel.opaque ? picture_value_of(pixel.colour.red, pixel.colour.green, pixel.colour.blue, distance) : transparent;
        if (distance != 0 && !reader.nearest) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "#%02X%02X%02X", pixel.colour.red, pixel.colour.green, pixel.colour.blue);
            return "pixel (" + std::to_string(i % reader.read.width) + ", " + std::to_string(i / reader.read.width) +
                   ") is " + hex + ", not one of the 16 colours";
        }
    }
    return "";
}

std::string read_extension(gif_reader& reader)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(reader.file, &code, &block) != GIF_OK)
        return gif_error("the file is damaged", reader.file->Error);
    bool first = true;
    while (block) {
        if (code == GRAPHICS_EXT_FUNC_CODE && first) {
            GraphicsControlBlock control{};
            if (DGifExtensionToGCB(block[0], block + 1, &control) != GIF_OK)
                return "a Graphic Control Extension is damaged";
            reader.next = {control.DisposalMode, control.TransparentColor, static_cast<std::uint32_t>(control.DelayTime)};
        } else if (code == APPLICATION_EXT_FUNC_CODE && first && block[0] == 11 &&
                   std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0) {
            if (DGifGetExtensionNext(reader.file, &block) != GIF_OK)
                return gif_error("the file is damaged", reader.file->Error);
            if (block && block[0] >= 3 && block[1] == 1) {
                const std::uint32_t repeats = block[2] | std::uint32_t{block[3]} << 8;
                reader.read.loops = repeats == 0 ? 0 : repeats + 1;
            }
            first = false;
            continue;
        }
        first = false;
        if (DGifGetExtensionNext(reader.file, &block) != GIF_OK)
            return gif_error("the file is damaged", reader.file->Error);
    }
    return "";
}

// The compressed data of a frame, read a sub-block at a time as codes of `width` bits,
// the first code in the lowest bits.
struct code_reader {
    GifFileType* file;
    GifByteType* block = nullptr; // block[0] is its length, its bytes follow; nullptr after the last
    std::size_t at = 1;
    std::uint32_t bits = 0;
    int bit_count = 0;
    bool failed = false; // the file ended, or giflib refused it, before the last sub-block

    // False when the sub-blocks end first.
    bool next(int width, std::uint32_t& code)
    {
        while (bit_count < width) {
            while (block && at > block[0]) {
                if (DGifGetCodeNext(file, &block) != GIF_OK) {
                    failed = true;
                    return false;
                }
                at = 1;
            }
            if (!block)
                return false;
            bits |= std::uint32_t{block[at++]} << bit_count;
            bit_count += 8;
        }
        code = bits & ((1u << width) - 1);
        bits >>= width;
        bit_count -= width;
        return true;
    }
};

constexpr std::uint32_t max_codes = 4096; // codes are at most 12 bits wide

// The string table of the decompressor: each code after the literals is an earlier
// code's string and one more index.
struct lzw_table {
    std::array<std::uint16_t, max_codes> prefix{};
    std::array<std::uint8_t, max_codes> last{};  // the string's last index
    std::array<std::uint8_t, max_codes> first{}; // and its first
    std::array<std::uint16_t, max_codes> length{};
};

// Appends the string of `code` to `out`, cut at `out`'s capacity `wanted`.
void put_string(const lzw_table& table, std::uint32_t code, std::size_t wanted, std::vector<GifPixelType>& out)
{
    const std::size_t start = out.size();
    const std::size_t length = table.length[code];
    const std::size_t kept = std::min(length, wanted - start);
    out.resize(start + kept);
    for (std::size_t i = length; i-- > 0; code = table.prefix[code])
        if (i < kept)
            out[start + i] = table.last[code];
}

// Decompresses the frame's data into `indices`, `wanted` of them in the file's row
// order. As browsers do, codes after the last pixel are not looked at; a code the
// table does not hold yet, or data that ends before the last pixel, is damage.
std::string decompress(code_reader& in, int min_code_size, std::size_t wanted, std::vector<GifPixelType>& indices)
{
    if (min_code_size < 1 || min_code_size > 8)
        return "the file is damaged (a frame's code size is " + std::to_string(min_code_size) + ")";
    const std::uint32_t clear = 1u << min_code_size;
    lzw_table table;
    for (std::uint32_t code = 0; code < clear; ++code) {
        table.last[code] = table.first[code] = static_cast<std::uint8_t>(code);
        table.length[code] = 1;
    }
    std::uint32_t next = clear + 2;
    int width = min_code_size + 1;
    std::uint32_t previous = max_codes; // none since the last clear code
    indices.clear();
    indices.reserve(wanted);
    std::uint32_t code = 0;
    while (indices.size() < wanted && in.next(width, code)) {
        if (code == clear) {
            next = clear + 2;
            width = min_code_size + 1;
            previous = max_codes;
            continue;
        }
        if (code == clear + 1)
            break;
        const bool defined = code < clear || (code > clear + 1 && code < next);
        if (!defined && (code != next || previous == max_codes))
            return "the file is damaged (its compressed data holds an undefined code)";
        if (previous != max_codes && next < max_codes) {
            table.prefix[next] = static_cast<std::uint16_t>(previous);
            table.first[next] = table.first[previous];
            table.last[next] = table.first[defined ? code : previous];
            table.length[next] = static_cast<std::uint16_t>(table.length[previous] + 1);
            if (++next == 1u << width && width < 12)
                ++width;
        }
        put_string(table, code, wanted, indices);
        previous = code;
    }
    if (in.failed && indices.size() < wanted)
        return gif_error("the file is damaged", in.file->Error);
    if (indices.size() < wanted)
        return "the file is damaged (a frame's data ends before its last pixel)";
    return "";
}

// Reads the frame's data into `indices` (frame width x height, top row first),
// interlaced or not. `ended` is set when the file ends right after the frame's last
// pixel, which browsers take as the end of the picture.
std::string read_indices(gif_reader& reader, std::uint32_t width, std::uint32_t height,
                         std::vector<GifPixelType>& indices)
{
    code_reader in{reader.file};
    int min_code_size = 0;
    if (DGifGetCode(reader.file, &min_code_size, &in.block) != GIF_OK)
        return gif_error("the file is damaged", reader.file->Error);
    std::vector<GifPixelType> stream;
    if (std::string problem = decompress(in, min_code_size, std::size_t{width} * height, stream); !problem.empty())
        return problem;
    while (in.block && !in.failed)
        in.failed = DGifGetCodeNext(reader.file, &in.block) != GIF_OK;
    reader.ended = in.failed;
    if (!reader.file->Image.Interlace) {
        indices = std::move(stream);
        return "";
    }
    indices.assign(stream.size(), 0);
    constexpr std::array<std::uint32_t, 4> start = {0, 4, 2, 1};
    constexpr std::array<std::uint32_t, 4> step = {8, 8, 4, 2};
    std::size_t row = 0;
    for (std::size_t pass = 0; pass < 4; ++pass)
        for (std::uint32_t y = start[pass]; y < height; y += step[pass], ++row)
            std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(row * width), width,
                        indices.begin() + static_cast<std::ptrdiff_t>(std::size_t{y} * width));
    return "";
}

// Browsers grow the canvas to hold the first frame where it reaches past the screen,
// and cut later frames to it.
std::string make_canvas(gif_reader& reader, const GifImageDesc& desc)
{
    animation& read = reader.read;
    read.width = std::max(read.width, static_cast<std::uint32_t>(desc.Left + desc.Width));
    read.height = std::max(read.height, static_cast<std::uint32_t>(desc.Top + desc.Height));
    if (std::string problem = side_problem("the picture", read.width, read.height); !problem.empty())
        return problem;
    reader.canvas.assign(std::size_t{read.width} * read.height, shown{});
    return "";
}

// Where the frame's pixel (x, y) lies on the canvas; false when outside it.
bool canvas_index(const gif_reader& reader, const GifImageDesc& desc, std::uint32_t x, std::uint32_t y,
                  std::size_t& at)
{
    const std::uint32_t cx = static_cast<std::uint32_t>(desc.Left) + x;
    const std::uint32_t cy = static_cast<std::uint32_t>(desc.Top) + y;
    at = std::size_t{reader.read.width} * cy + cx;
    return cx < reader.read.width && cy < reader.read.height;
}

void draw_frame(gif_reader& reader, const GifImageDesc& desc, const ColorMapObject& table, int transparent_at,
                const std::vector<GifPixelType>& indices)
{
    const auto width = static_cast<std::uint32_t>(desc.Width);
    for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(desc.Height); ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const GifPixelType index = indices[std::size_t{width} * y + x];
            std::size_t at = 0;
            if (!canvas_index(reader, desc, x, y, at) || index == transparent_at)
                continue;
            const bool listed = index < table.ColorCount;
            const GifColorType c = listed ? table.Colors[index] : GifColorType{0, 0, 0};
            reader.canvas[at] = {true, {c.Red, c.Green, c.Blue}};
        }
}

// Disposal 3 restores the canvas as it was before the frame, and so does 4, which some
// encoders wrote for it and Chromium takes so; 5 to 7 leave the frame in place there.
bool restores_previous(int disposal)
{
    return disposal == DISPOSE_PREVIOUS || disposal == DISPOSE_PREVIOUS + 1;
}

std::string read_frame(gif_reader& reader)
{
    if (DGifGetImageDesc(reader.file) != GIF_OK)
        return gif_error("the file is damaged", reader.file->Error);
    const std::size_t number = reader.read.frames.size();
    if (number >= max_gif_frames)
        return "the GIF holds more than " + std::to_string(max_gif_frames) + " frames";
    const GifImageDesc desc = reader.file->Image;
    const auto width = static_cast<std::uint32_t>(desc.Width);
    const auto height = static_cast<std::uint32_t>(desc.Height);
    if (std::string problem = side_problem("frame " + std::to_string(number), width, height); !problem.empty())
        return problem;
    const ColorMapObject* table = desc.ColorMap ? desc.ColorMap : reader.file->SColorMap;
    if (!table)
        return "frame " + std::to_string(number) + " has no colour table";
    if (std::string problem = reader.canvas.empty() ? make_canvas(reader, desc) : ""; !problem.empty())
        return problem;
    std::vector<GifPixelType> indices;
    if (std::string problem = read_indices(reader, width, height, indices); !problem.empty())
        return problem;
    const frame_control control = reader.next;
    reader.next = {};
    // Only disposal 3 needs the canvas as it was.
    std::vector<shown> before = restores_previous(control.disposal) ? reader.canvas : std::vector<shown>{};
    draw_frame(reader, desc, *table, control.transparent_index, indices);
    std::vector<std::uint8_t> values;
    if (std::string problem = sprite_values(reader, values); !problem.empty())
        return "frame " + std::to_string(number) + ": " + problem;
    reader.read.frames.push_back(std::move(values));
    reader.read.durations_ms.push_back(control.delay_cs * 10);
    if (reader.take) {
        if (std::string problem = (*reader.take)(reader.read); !problem.empty())
            return problem;
        reader.read.frames.back() = std::vector<std::uint8_t>(); // freed; left to number the frames
    }
    // What the next frame is drawn on.
    if (restores_previous(control.disposal)) {
        reader.canvas = std::move(before);
    } else if (control.disposal == DISPOSE_BACKGROUND) {
        std::size_t at = 0;
        for (std::uint32_t y = 0; y < height; ++y)
            for (std::uint32_t x = 0; x < width; ++x)
                if (canvas_index(reader, desc, x, y, at))
                    reader.canvas[at] = {};
    }
    return "";
}

// A file that ends after a frame's last pixel, without the trailer byte, is whole to a
// browser; one that ends anywhere else is not.
bool ends_after_frame(const gif_reader& reader)
{
    const auto* in = static_cast<const input_bytes*>(reader.file->UserData);
    return !reader.read.frames.empty() && (reader.ended || in->at == in->data.size());
}

std::string read_records(gif_reader& reader)
{
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (reader.ended || DGifGetRecordType(reader.file, &type) != GIF_OK)
            return ends_after_frame(reader) ? "" : gif_error("the file is damaged", reader.file->Error);
        std::string problem;
        if (type == IMAGE_DESC_RECORD_TYPE)
            problem = read_frame(reader);
        else if (type == EXTENSION_RECORD_TYPE)
            problem = read_extension(reader);
        else if (type == TERMINATE_RECORD_TYPE)
            return reader.read.frames.empty() ? "the GIF holds no frame" : "";
        else
            return "the file is damaged (an unknown block)";
        if (!problem.empty())
            return problem;
    }
}

} // namespace

std::uint16_t gif_delay_of(std::uint32_t milliseconds)
{
    return static_cast<std::uint16_t>(std::clamp<std::uint32_t>((milliseconds + 5) / 10, 1, 65535));
}

std::string write_gif(const animation& source, std::uint32_t scale, std::vector<std::uint8_t>& gif)
{
    if (source.frames.empty() || source.frames.size() != source.durations_ms.size())
        return "an animation needs at least one frame, each with its duration";
    if (scale < 1 || source.width * scale > 65535 || source.height * scale > 65535)
        return "a GIF is at most 65535 x 65535 pixels";
    std::vector<std::uint8_t> bytes;
    int error = 0;
    std::unique_ptr<GifFileType, encoder_closer> file(EGifOpen(&bytes, put_bytes, &error));
    if (!file)
        return gif_error("the GIF encoder failed", error);
    std::array<GifColorType, table_size> colours{};
    for (std::uint8_t v = 0; v < 16; ++v) {
        const rgb c = colour_of(v);
        colours[v] = {c.red, c.green, c.blue};
    }
    const std::unique_ptr<ColorMapObject, decltype(&GifFreeMapObject)> table(
        GifMakeMapObject(table_size, colours.data()), &GifFreeMapObject);
    if (!table)
        return "out of memory";
    EGifSetGifVersion(file.get(), true);
    int status = EGifPutScreenDesc(file.get(), static_cast<int>(source.width * scale),
                                   static_cast<int>(source.height * scale), 8, 0, table.get());
    if (status == GIF_OK && source.loops != 1)
        status = put_loop_extension(file.get(), source.loops);
    for (std::size_t i = 0; status == GIF_OK && i < source.frames.size(); ++i)
        status = put_frame(file.get(), source, i, scale);
    if (status != GIF_OK)
        return gif_error("the GIF encoder failed", file->Error);
    // Closing writes the trailer, and frees the file whatever happens.
    if (EGifCloseFile(file.release(), &error) != GIF_OK)
        return gif_error("the GIF encoder failed", error);
    gif = std::move(bytes);
    return "";
}

namespace {

std::string read_gif_with(std::span<const std::uint8_t> gif, bool nearest, const gif_frame_taker* take,
                          animation& result)
{
    input_bytes in{gif};
    int error = 0;
    const std::unique_ptr<GifFileType, decoder_closer> file(DGifOpen(&in, get_bytes, &error));
    if (!file)
        return error == D_GIF_ERR_NOT_GIF_FILE ? "not a GIF" : gif_error("not a readable GIF", error);
    gif_reader reader{file.get(), nearest, {}, {}, {}, take};
    reader.read.width = static_cast<std::uint32_t>(file->SWidth);
    reader.read.height = static_cast<std::uint32_t>(file->SHeight);
    reader.read.loops = 1;
    // A screen of 0 pixels is grown by the first frame; one too large can only grow.
    if (reader.read.width > max_side || reader.read.height > max_side)
        return side_problem("the canvas", reader.read.width, reader.read.height);
    if (std::string problem = read_records(reader); !problem.empty())
        return problem;
    result = std::move(reader.read);
    return "";
}

// Walks the records as read_records does, passing over each frame's compressed data
// without decoding it.
std::size_t count_frames(GifFileType* file)
{
    std::size_t count = 0;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetRecordType(file, &type) != GIF_OK)
            return count;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(file) != GIF_OK || DGifGetCode(file, &code, &block) != GIF_OK)
                return count;
        } else if (type == EXTENSION_RECORD_TYPE) {
            if (DGifGetExtension(file, &code, &block) != GIF_OK)
                return count;
        } else {
            return count;
        }
        const bool image = type == IMAGE_DESC_RECORD_TYPE;
        while (block) {
            const int status = image ? DGifGetCodeNext(file, &block) : DGifGetExtensionNext(file, &block);
            // A file may end inside a frame's data once its last pixel is there, and the
            // frame still counts; where the pixels are not all there, the reading refuses
            // the whole file, so the count does not matter.
            if (status != GIF_OK)
                return count + (image ? 1 : 0);
        }
        count += image ? 1 : 0;
    }
}

} // namespace

std::string read_gif(std::span<const std::uint8_t> gif, bool nearest, animation& result)
{
    return read_gif_with(gif, nearest, nullptr, result);
}

std::string read_gif_frames(std::span<const std::uint8_t> gif, bool nearest, const gif_frame_taker& take,
                            animation& header)
{
    return read_gif_with(gif, nearest, &take, header);
}

std::size_t count_gif_frames(std::span<const std::uint8_t> gif)
{
    input_bytes in{gif};
    int error = 0;
    const std::unique_ptr<GifFileType, decoder_closer> file(DGifOpen(&in, get_bytes, &error));
    return file ? count_frames(file.get()) : 0;
}
