// gzip compression of data held in memory, for compressed console fonts.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The largest output gunzip gives unless told otherwise: far more than any 8 x 8 console
// font needs. A reader that takes more (FreeType's fonts) passes its own limit.
inline constexpr std::size_t max_gunzip_size = 4u << 20;

// True when `data` starts with the gzip magic bytes 1F 8B.
bool is_gzip(std::span<const std::uint8_t> data);

// Decompresses the gzip stream `data` into `result`. Returns "" on success, else one
// sentence that says what is wrong (corrupt, truncated, or larger than `limit` bytes),
// leaving `result` as it was. Several gzip members in a row decompress one after another.
std::string gunzip(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& result,
                   std::size_t limit = max_gunzip_size);

// Compresses `data` into `result` as one gzip stream with no time stamp: the same data
// always gives the same bytes. Returns "" on success, else one sentence that says what
// is wrong (zlib found no memory), leaving `result` as it was.
std::string gzip(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& result);
