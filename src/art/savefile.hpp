// Safe replacement of a small file: the new contents go to a temporary file beside the
// target, reach the disk, and only then take the target's place, so a failed save
// leaves the previous file byte for byte as it was. Only regular files are replaced:
// a FIFO or a character device (a terminal, /dev/null) is written to as a stream and
// stays what it is, and a folder, a socket or a block device is never touched.
// Nothing here prints.
//
// One source per system does the work, chosen by this folder's CMakeLists.txt:
// savefile_posix.cpp (Linux, the browser's file system) and savefile_windows.cpp. On
// Windows names are UTF-8, turned into UTF-16 for the system; the new file is flushed
// with FlushFileBuffers and swapped in with MoveFileExW; there are no FIFOs or links to
// follow, a reserved device name (NUL, CON, COM1, also nul.png) is refused like a
// folder, a read-only target is refused (as Windows itself refuses to replace one, and
// Wine would not), and no file is ever rewritten in place.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One file of a set written together.
struct new_file {
    const char* filename;
    const std::uint8_t* data;
    std::size_t size;
};

// Replaces several files together, all or none: each new file is written beside its
// target and reaches the disk, then the targets that are FIFOs or character devices get
// their bytes, and only then do the other targets change, one rename each.
// An existing target keeps its permission bits; a symbolic link stays a link and the
// file it points to is replaced. A target (after links) that is a FIFO or a character
// device is opened for writing, blocking until a FIFO has a reader, and gets the bytes
// without truncation, a temporary file or a rename; a reader that leaves early fails
// the save (SIGPIPE does not end the program). A folder, a socket or a block device is
// refused. A set of one file whose temporary file cannot be made (a directory that
// refuses new files) but whose target is writable has the target rewritten in place as
// a last resort; a larger set has no such resort, since that could leave some files
// changed and some not.
// Returns 0 on success. Otherwise `failed` is the index of the file to blame and errno
// tells why: 1 when a target is refused or neither a temporary file nor the target
// could be opened, -1 when writing, flushing or closing failed; in both cases no
// regular file changed (a stream may have had part of its bytes). -2 in the rare case
// that a rename fails: the files before `failed` are new, it and those after it are as
// they were.
int replace_files(std::span<const new_file> files, std::size_t& failed);

// The same, for a set whose files are made one at a time and need not all be held in
// memory: each is staged as soon as it is made, and commit_files swaps them in together.
struct staged_file {
    std::string target;    // the file that changes, after links
    std::string temporary; // its new contents beside it; "" for a stream
    std::vector<std::uint8_t> stream_bytes; // a FIFO's or a device's bytes, held until the commit
    bool stream = false;
};
using staged_files = std::vector<staged_file>;

// Writes `file` into a new temporary file beside its target (a FIFO or a character
// device keeps the bytes for commit_files) and adds it to `set`; no target changes.
// 0, or with errno set 1 when the target is refused or no temporary file can be made,
// -1 when writing it failed; on failure `set` is as it was.
int stage_file(staged_files& set, const new_file& file);

// Gives the streams their bytes, then renames every temporary file onto its target,
// and empties `set`. 0, -1 or -2 as replace_files returns them, `failed` indexing `set`;
// on failure the temporary files left are removed.
int commit_files(staged_files& set, std::size_t& failed);

// Removes the temporary files of `set` and empties it: nothing it staged is written.
void discard_files(staged_files& set);

// The set of one file: the `size` bytes at `data` replace the contents of `filename`.
// Returns 0, 1 or -1 as above (a failed rename gives -1).
int replace_file(const char* filename, const std::uint8_t* data, std::size_t size);

// Why a save refuses `filename` ("it is a folder", "it is a socket", "it is a block
// device", on Windows also "it is a device"), or nullptr when it does not.
const char* save_refusal(const char* filename);

// What names the file `path` reaches, equal for two names of one file: an existing file
// by its device and inode (on Windows its volume and index), which links and other
// spellings share; one not made yet by its folder's real path and its own name.
std::string file_identity(const char* path);
