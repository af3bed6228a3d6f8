// Safe replacement of a small file: the new contents go to a temporary file beside the
// target, reach the disk, and only then take the target's place, so a failed save
// leaves the previous file byte for byte as it was. Nothing here prints.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

// Replaces the contents of `filename` with the `size` bytes at `data`.
// An existing target keeps its permission bits; a symbolic link stays a link and the
// file it points to is replaced. When no temporary file can be made beside the target
// (a directory that refuses new files) but the target itself is writable, the target
// is rewritten in place as a last resort.
// Returns 0 on success, 1 when neither a temporary file nor the target could be
// opened, -1 when writing, flushing, closing or renaming failed. On failure the
// temporary file is removed.
int replace_file(const char* filename, const std::uint8_t* data, std::size_t size);

// One file of a set written together.
struct new_file {
    const char* filename;
    const std::uint8_t* data;
    std::size_t size;
};

// Replaces several files together: each new file is written beside its target and
// reaches the disk, and only then do the targets change, one rename each. Targets keep
// their permission bits and links are followed, as above; there is no in-place last
// resort, since that could leave some files changed and some not.
// Returns 0 on success. Returns -1, with `failed` the index of the file to blame and
// errno set, when a new file could not be made or written: no target changed. Returns
// -2 in the rare case that a rename fails: the files before `failed` are new, it and
// those after it are as they were.
int replace_files(std::span<const new_file> files, std::size_t& failed);
