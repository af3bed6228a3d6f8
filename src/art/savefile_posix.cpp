#include "art/savefile.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Follows a chain of symbolic links to the file that really gets written, which need
// not exist yet (a dangling link names the file a save creates).
std::string final_target(const std::string& filename)
{
    std::string path = filename;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st{};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t length = readlink(path.c_str(), buffer.data(), PATH_MAX);
        if (length < 0)
            return path;
        std::string next(buffer.data(), static_cast<std::size_t>(length));
        if (!next.empty() && next.front() != '/') {
            const std::size_t slash = path.rfind('/');
            if (slash != std::string::npos)
                next = path.substr(0, slash + 1) + next;
        }
        path = next;
    }
    return path;
}

std::string directory_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string base_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool write_all(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The mode a newly created file would get from open(..., 0666).
mode_t default_mode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The last resort: overwrite the target where it stands. The old bytes are lost if
// this fails part way, which is why it runs only when no temporary file can be made.
int rewrite_in_place(const std::string& target, const std::uint8_t* data, std::size_t size)
{
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, default_mode());
    if (fd < 0)
        return 1;
    // Refuse before touching a byte when the file system plainly cannot hold the file.
    struct stat st{};
    struct statvfs space{};
    if (fstat(fd, &st) == 0 && fstatvfs(fd, &space) == 0 && space.f_bsize > 0 &&
        size > static_cast<std::size_t>(st.st_size) &&
        (size - static_cast<std::size_t>(st.st_size) + space.f_bsize - 1) / space.f_bsize > space.f_bavail) {
        close(fd);
        return -1;
    }
    const bool ok = write_all(fd, data, size) && ftruncate(fd, static_cast<off_t>(size)) == 0 && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    return ok && closed ? 0 : -1;
}

// A FIFO or a device takes the bytes as a stream, the way `cat > target` gives them:
// no temporary file and no rename, which would put a regular file in its place.
int write_stream(const std::string& target, const std::uint8_t* data, std::size_t size)
{
    const int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return 1;
    // A reader that leaves early must give a failed save, not a killed editor: SIGPIPE
    // is held back while writing, and the one the write raised is taken off again.
    sigset_t pipe_signal;
    sigset_t previous;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
    const bool ok = write_all(fd, data, size);
    const int write_error = errno;
    if (!ok && write_error == EPIPE && !sigismember(&previous, SIGPIPE)) {
        const timespec no_wait{};
        sigtimedwait(&pipe_signal, nullptr, &no_wait);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    const bool closed = close(fd) == 0;
    if (!ok)
        errno = write_error;
    return ok && closed ? 0 : -1;
}

} // namespace

const char* save_refusal(const char* filename)
{
    struct stat st{};
    if (stat(final_target(filename).c_str(), &st) != 0)
        return nullptr;
    if (S_ISDIR(st.st_mode))
        return "it is a folder";
    if (S_ISSOCK(st.st_mode))
        return "it is a socket";
    if (S_ISBLK(st.st_mode))
        return "it is a block device";
    return nullptr;
}

namespace {

void remove_temporaries(const staged_files& files, std::size_t from, std::size_t to)
{
    const int saved = errno;
    for (std::size_t i = from; i < to; ++i)
        if (!files[i].temporary.empty())
            unlink(files[i].temporary.c_str());
    errno = saved;
}

// Names `file`'s final target and, unless it is a FIFO or a character device, writes its
// bytes to a new temporary file beside it; the target is left as it was. 0, or 1 when
// the target is refused (`refused` is then set) or no temporary file can be made, -1
// when writing it fails (the temporary is removed); errno tells why.
int write_beside(const new_file& file, staged_file& out, bool& refused)
{
    out.target = final_target(file.filename);
    struct stat old{};
    const bool exists = stat(out.target.c_str(), &old) == 0;
    out.stream = exists && (S_ISFIFO(old.st_mode) || S_ISCHR(old.st_mode));
    if (out.stream) {
        out.stream_bytes.assign(file.data, file.data + file.size);
        return 0;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        errno = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
        refused = true;
        return 1;
    }
    std::string temporary = directory_of(out.target) + "/." + base_of(out.target) + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return 1;
    bool ok = write_all(fd, file.data, file.size);
    if (ok && exists) {
        // Best effort: a file saved by another user keeps its owner where we may set it.
        [[maybe_unused]] const int owner_kept = fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && fchmod(fd, exists ? (old.st_mode & 07777) : default_mode()) == 0;
    ok = ok && fsync(fd) == 0;
    const int saved = errno;
    ok = (close(fd) == 0) && ok;
    if (!ok) {
        unlink(temporary.c_str());
        errno = saved != 0 ? saved : EIO;
        return -1;
    }
    out.temporary = std::move(temporary);
    return 0;
}

// Makes the renames durable; a failure here leaves complete files either way.
void sync_folders(const staged_files& files)
{
    for (const staged_file& file : files) {
        if (file.stream)
            continue;
        const int dir_fd = open(directory_of(file.target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir_fd >= 0) {
            fsync(dir_fd);
            close(dir_fd);
        }
    }
}

int stage(staged_files& set, const new_file& file, bool& refused)
{
    staged_file made;
    const int status = write_beside(file, made, refused);
    if (status == 0)
        set.push_back(std::move(made));
    return status;
}

} // namespace

int stage_file(staged_files& set, const new_file& file)
{
    bool refused = false;
    return stage(set, file, refused);
}

void discard_files(staged_files& set)
{
    remove_temporaries(set, 0, set.size());
    set.clear();
}

int commit_files(staged_files& set, std::size_t& failed)
{
    // The streams, which cannot be taken back, get their bytes before any target changes.
    for (std::size_t i = 0; i < set.size(); ++i)
        if (set[i].stream)
            if (const int status = write_stream(set[i].target, set[i].stream_bytes.data(), set[i].stream_bytes.size());
                status != 0) {
                discard_files(set);
                failed = i;
                return status;
            }
    for (std::size_t i = 0; i < set.size(); ++i)
        if (!set[i].stream && rename(set[i].temporary.c_str(), set[i].target.c_str()) != 0) {
            remove_temporaries(set, i, set.size());
            set.clear();
            failed = i;
            return -2;
        }
    sync_folders(set);
    set.clear();
    return 0;
}

int replace_files(std::span<const new_file> files, std::size_t& failed)
{
    // Every regular file is written beside its target first; only then does any target change.
    staged_files made;
    for (std::size_t i = 0; i < files.size(); ++i) {
        bool refused = false;
        if (const int status = stage(made, files[i], refused); status != 0) {
            discard_files(made);
            failed = i;
            // A single file may still be rewritten where it stands.
            if (files.size() == 1 && status == 1 && !refused)
                return rewrite_in_place(final_target(files[i].filename), files[i].data, files[i].size);
            return status;
        }
    }
    return commit_files(made, failed);
}

std::string file_identity(const char* path)
{
    struct stat st{};
    if (stat(path, &st) == 0)
        return "file " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    const std::string name = path;
    const std::size_t slash = name.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    char* real = realpath(folder.c_str(), nullptr);
    const std::string result = "new " + (real ? std::string(real) + "/" + name.substr(slash + 1) : name);
    std::free(real);
    return result;
}
