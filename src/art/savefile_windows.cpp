#include "art/savefile.hpp"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The names Windows keeps for its devices in every folder, whatever ending follows them.
constexpr std::array<std::string_view, 22> device_names = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

// The errno that the C library would give for a system error, for the messages that
// callers build with strerror as they do on Linux.
struct error_mapping {
    DWORD error;
    int number;
};
constexpr std::array<error_mapping, 9> error_mappings{{
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_SHARING_VIOLATION, EACCES},
    {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_WRITE_PROTECT, EROFS},
    {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_DIRECTORY, ENOTDIR},
}};

void set_errno_from_system()
{
    const DWORD error = GetLastError();
    const auto found = std::find_if(error_mappings.begin(), error_mappings.end(),
                                    [&](const error_mapping& each) { return each.error == error; });
    errno = found == error_mappings.end() ? EIO : found->number;
}

std::wstring wide(const std::string& utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), result.data(), length);
    return result;
}

std::size_t last_separator(const std::string& path)
{
    return path.find_last_of("/\\:");
}

std::string directory_of(const std::string& path)
{
    const std::size_t at = last_separator(path);
    return at == std::string::npos ? "." : path.substr(0, at + 1);
}

std::string base_of(const std::string& path)
{
    const std::size_t at = last_separator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

// "nul", "NUL.png" and "com1 .txt" all name a device: Windows looks only at the part
// before the first dot, with spaces at its end dropped.
bool is_device_name(const std::string& path)
{
    std::string stem = base_of(path);
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    return std::find(device_names.begin(), device_names.end(), stem) != device_names.end();
}

bool has_attribute(const std::string& path, DWORD attribute)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & attribute);
}

bool is_folder(const std::string& path)
{
    return has_attribute(path, FILE_ATTRIBUTE_DIRECTORY);
}

// A handle for a new temporary file beside `target`, named in `temporary`; a name that
// exists already is never opened, so two saves beside each other never meet.
HANDLE create_beside(const std::string& target, std::string& temporary)
{
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = directory_of(target) + "." + base_of(target) + "." + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(++counter);
        const HANDLE file = CreateFileW(wide(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

bool write_all(HANDLE file, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr))
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Writes `file`'s bytes to a new temporary file beside its target and flushes them to
// the disk; the target is left as it was. 0, or 1 when the target is refused or no
// temporary file can be made, -1 when writing fails (the temporary is removed).
int write_beside(const new_file& file, std::string& temporary)
{
    if (save_refusal(file.filename)) {
        errno = is_folder(file.filename) ? EISDIR : EINVAL;
        return 1;
    }
    // Windows refuses to move a file over a read-only one; Wine, where the owner may,
    // would replace it. Asking first gives the same answer on both, before any work.
    if (has_attribute(file.filename, FILE_ATTRIBUTE_READONLY)) {
        errno = EACCES;
        return 1;
    }
    const HANDLE handle = create_beside(file.filename, temporary);
    if (handle == INVALID_HANDLE_VALUE) {
        set_errno_from_system();
        return 1;
    }
    bool ok = write_all(handle, file.data, file.size) && FlushFileBuffers(handle);
    if (!ok)
        set_errno_from_system();
    const int saved = errno;
    ok = CloseHandle(handle) && ok;
    if (!ok) {
        DeleteFileW(wide(temporary).c_str());
        errno = saved != 0 ? saved : EIO;
        return -1;
    }
    return 0;
}

} // namespace

const char* save_refusal(const char* filename)
{
    if (is_device_name(filename))
        return "it is a device";
    if (is_folder(filename))
        return "it is a folder";
    return nullptr;
}

int stage_file(staged_files& set, const new_file& file)
{
    staged_file made;
    made.target = file.filename;
    const int status = write_beside(file, made.temporary);
    if (status == 0)
        set.push_back(std::move(made));
    return status;
}

void discard_files(staged_files& set)
{
    const int saved = errno;
    for (const staged_file& file : set)
        DeleteFileW(wide(file.temporary).c_str());
    set.clear();
    errno = saved;
}

int commit_files(staged_files& set, std::size_t& failed)
{
    // Each target changes in one move that replaces it whole, written through to the disk.
    for (std::size_t i = 0; i < set.size(); ++i)
        if (!MoveFileExW(wide(set[i].temporary).c_str(), wide(set[i].target).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            set_errno_from_system();
            set.erase(set.begin(), set.begin() + static_cast<std::ptrdiff_t>(i));
            discard_files(set);
            failed = i;
            return -2;
        }
    set.clear();
    return 0;
}

int replace_files(std::span<const new_file> files, std::size_t& failed)
{
    // Every file is written beside its target and flushed first; only then does any
    // target change.
    staged_files made;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (const int status = stage_file(made, files[i]); status != 0) {
            discard_files(made);
            failed = i;
            return status;
        }
    return commit_files(made, failed);
}

std::string file_identity(const char* path)
{
    // A file's volume and index name it, as a device and an inode do on Linux; the C
    // library's stat gives every file the inode 0.
    const HANDLE handle = CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle != INVALID_HANDLE_VALUE) {
        const bool known = GetFileInformationByHandle(handle, &info);
        CloseHandle(handle);
        if (known)
            return "file " + std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
                   std::to_string(info.nFileIndexLow);
    }
    // Not made yet: the full path, in one case, since Windows' names ignore it.
    const std::wstring name = wide(path);
    std::wstring full(MAX_PATH * 4, L'\0');
    const DWORD length = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    full.resize(length > 0 && length < full.size() ? length : 0);
    CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    std::string result = "new ";
    for (const wchar_t c : full.empty() ? name : full)
        result += std::to_string(static_cast<unsigned>(c)) + ",";
    return result;
}
