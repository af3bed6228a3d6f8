// The converter's files: every input is read whole into memory, and every output, one
// file or many, is written all or none through replace_files. Functions return "" or
// one sentence that says what is wrong; the driver names the file and prints it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// What went wrong, and with which file; an empty problem is no complaint. The
// converter's modes hand one back to pixconv_main, which alone prints. A usage error
// that only the files show (tiles of different sizes, say) has no file to blame.
struct complaint {
    std::string path;
    std::string problem;
    bool usage = false;
};

// One file the converter writes: its name and its bytes.
struct output_file {
    std::string path;
    std::vector<std::uint8_t> bytes;
};

// The largest input read: far beyond any sprite, sheet or 256-glyph font, small enough
// that a wrong file name (a disk image, say) fails at once.
inline constexpr std::size_t max_input_size = 64u << 20;

// Reads `path` into `data`: the whole file, or its first `bytes_used` bytes when that
// is not 0; a file over max_input_size is refused. "" or what went wrong.
std::string read_whole(const std::string& path, std::vector<std::uint8_t>& data, std::size_t bytes_used = 0);

// Writes every one of `outputs` or none of them (see replace_files, whose result this
// is): 0, or with `failed` the index of the output to blame and errno set.
int write_output_files(std::span<const output_file> outputs, std::size_t& failed);
