// The converter's files and their names: every input is read whole into memory, and every output, one
// file or many, in every mode, goes through one write path (output_set): an output that
// is an input, or two outputs that are one file, are refused before anything is
// written, and the outputs are written all or none. read_whole returns "" or one
// sentence that says what is wrong; the write path returns a complaint whose problem
// ends by saying what was written. The driver alone prints.
#pragma once
#include "art/savefile.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// ---- Names

// The last component of `path`.
std::string base_name(const std::string& path);
// `path` with the ending of its last component (from its last '.') replaced by `ending`
// ("walk.tres", ".png" gives "walk.png"); `ending` added when it has none.
std::string replace_ending(const std::string& path, std::string_view ending);
bool path_exists(const std::string& path);
bool is_folder(const std::string& path);
// A name that ends in '/' or is an existing folder.
bool names_a_folder(const std::string& name);

// ---- Reading and writing

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

// The outputs of one conversion, staged one by one as they are made (each into a
// temporary file beside its target) and swapped in together, so that a long set of
// frames need not be held in memory. Whatever is staged and not committed is removed
// when the set goes.
struct output_set {
    std::vector<std::string> paths; // every output the conversion may write, in order
    staged_files staged;
    std::vector<std::size_t> staged_paths; // the index in `paths` of each staged file
    output_set() = default;
    output_set(const output_set&) = delete;
    output_set& operator=(const output_set&) = delete;
    ~output_set();
};

// Starts a set of `paths`. Refuses, as a usage error (status 2) naming both files, a path
// that is one of `inputs` or another of `paths`: the same file by device and inode after
// links, or, when it does not exist yet, the same name in the same folder.
complaint open_outputs(const std::vector<std::string>& inputs, std::vector<std::string> paths, output_set& set);

// Writes `bytes` as output `index` of the set's paths, into its temporary file.
complaint stage_output(output_set& set, std::size_t index, std::span<const std::uint8_t> bytes);

// Swaps every staged output in, all or none.
complaint commit_outputs(output_set& set);

// The write path for outputs made in memory: open_outputs, then replace_files, which
// stages them in order and commits them, and rewrites a set of one file in place when
// no temporary file can be made beside it.
complaint write_outputs(const std::vector<std::string>& inputs, const std::vector<output_file>& outputs);
