#include "formats/gzipdata.hpp"

#include "art/words.hpp"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace {

// zlib counts in 32-bit units; larger inputs go in pieces of this size.
constexpr std::size_t zlib_piece = 1u << 30;

// Adding 16 to the window size asks zlib for the gzip wrapper instead of the zlib one.
constexpr int gzip_window_bits = 16 + MAX_WBITS;

} // namespace

bool is_gzip(std::span<const std::uint8_t> data)
{
    return data.size() >= 2 && data[0] == 0x1F && data[1] == 0x8B;
}

std::string gunzip(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& result, std::size_t limit)
{
    z_stream stream{};
    if (inflateInit2(&stream, gzip_window_bits) != Z_OK)
        return "there is not enough memory to decompress the gzip data";

    // One byte more than the limit, so that output past it is seen rather than cut off.
    std::vector<std::uint8_t> output;
    std::size_t used_in = 0;
    std::string error;
    for (;;) {
        const std::size_t produced = output.size();
        output.resize(std::min(limit + 1, std::max<std::size_t>(produced * 2, 1u << 16)));
        const std::size_t in_piece = std::min(data.size() - used_in, zlib_piece);
        const std::size_t out_piece = std::min(output.size() - produced, zlib_piece);
        // zlib's input pointer is not const in older versions; it never writes through it.
        stream.next_in = const_cast<Bytef*>(data.data() + used_in);
        stream.avail_in = static_cast<uInt>(in_piece);
        stream.next_out = output.data() + produced;
        stream.avail_out = static_cast<uInt>(out_piece);
        const int status = inflate(&stream, Z_NO_FLUSH);
        used_in += in_piece - stream.avail_in;
        output.resize(produced + (out_piece - stream.avail_out));
        if (output.size() > limit) {
            error = "the gzip data decompresses to more than " + byte_size(limit);
            break;
        }
        if (status == Z_STREAM_END) {
            // Several gzip members in a row decompress to their contents in a row.
            if (used_in < data.size() && is_gzip(data.subspan(used_in)) && inflateReset(&stream) == Z_OK)
                continue;
            if (used_in < data.size())
                error = "the gzip data is followed by " + std::to_string(data.size() - used_in) +
                        " bytes of something else";
            break;
        }
        if (status == Z_DATA_ERROR || status == Z_NEED_DICT || status == Z_STREAM_ERROR) {
            error = "the gzip data is corrupt";
            break;
        }
        if (status == Z_MEM_ERROR) {
            error = "there is not enough memory to decompress the gzip data";
            break;
        }
        // No progress with all input used means the stream stops before its end.
        if (used_in == data.size() && stream.avail_out != 0) {
            error = "the gzip data is truncated";
            break;
        }
    }
    inflateEnd(&stream);
    if (error.empty())
        result = std::move(output);
    return error;
}

std::string gzip(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& result)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, gzip_window_bits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return "there is not enough memory to compress the data";
    // An explicit header with no time stamp and a fixed system code: the same data
    // always gives the same bytes, on any machine.
    gz_header header{};
    header.os = 3;
    deflateSetHeader(&stream, &header);

    const auto first_piece = static_cast<uLong>(std::min(data.size(), zlib_piece));
    std::vector<std::uint8_t> output(deflateBound(&stream, first_piece) + 64);
    std::size_t used_in = 0;
    std::size_t produced = 0;
    for (;;) {
        if (produced == output.size())
            output.resize(output.size() * 2);
        const std::size_t in_piece = std::min(data.size() - used_in, zlib_piece);
        const std::size_t out_piece = std::min(output.size() - produced, zlib_piece);
        stream.next_in = const_cast<Bytef*>(data.data() + used_in);
        stream.avail_in = static_cast<uInt>(in_piece);
        stream.next_out = output.data() + produced;
        stream.avail_out = static_cast<uInt>(out_piece);
        const bool last = used_in + in_piece == data.size();
        const int status = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        used_in += in_piece - stream.avail_in;
        produced += out_piece - stream.avail_out;
        if (status == Z_STREAM_END)
            break;
        if (status != Z_OK && status != Z_BUF_ERROR) {
            deflateEnd(&stream);
            return "the data cannot be compressed";
        }
    }
    deflateEnd(&stream);
    output.resize(produced);
    result = std::move(output);
    return "";
}
