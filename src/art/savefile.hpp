// Safe replacement of a small file: the new contents go to a temporary file beside the
// target, reach the disk, and only then take the target's place, so a failed save
// leaves the previous file byte for byte as it was. Only regular files are replaced:
// a FIFO or a character device (a terminal, /dev/null) is written to as a stream and
// stays what it is, and a folder, a socket or a block device is never touched.
// Nothing here prints.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

// Replaces the contents of `filename` with the `size` bytes at `data`.
// An existing target keeps its permission bits; a symbolic link stays a link and the
// file it points to is replaced. When no temporary file can be made beside the target
// (a directory that refuses new files) but the target itself is writable, the target
// is rewritten in place as a last resort.
// A target (after links) that is a FIFO or a character device is opened for writing,
// blocking until a FIFO has a reader, and gets the bytes without truncation, a
// temporary file or a rename; a reader that leaves early fails the save (SIGPIPE
// does not end the program). A folder, a socket or a block device is refused.
// Returns 0 on success, 1 when neither a temporary file nor the target could be
// opened or the target is refused, -1 when writing, flushing, closing or renaming
// failed; errno tells why. On failure the temporary file is removed.
int replace_file(const char* filename, const std::uint8_t* data, std::size_t size);

// Why replace_file refuses `filename` ("it is a folder", "it is a socket", "it is a
// block device"), or nullptr when it does not.
const char* save_refusal(const char* filename);
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
