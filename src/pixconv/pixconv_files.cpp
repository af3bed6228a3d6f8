#include "pixconv/pixconv_files.hpp"

#include "art/savefile.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// pixconv(1) names the limit for GIFs and for compressed fonts.
static_assert(max_input_size == 64u << 20, "say the new limit in pixconv(1)");

std::string base_name(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

std::string replace_ending(const std::string& path, std::string_view ending)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const bool has_ending = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return path.substr(0, has_ending ? dot : path.size()) + std::string(ending);
}

bool path_exists(const std::string& path)
{
    struct stat st{};
    return stat(path.c_str(), &st) == 0;
}

bool is_folder(const std::string& path)
{
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool names_a_folder(const std::string& name)
{
    return !name.empty() && (name.back() == '/' || is_folder(name));
}

std::string read_whole(const std::string& path, std::vector<std::uint8_t>& data, std::size_t bytes_used)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::strerror(errno);
    std::vector<std::uint8_t> chunk(65536);
    std::string problem;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
        data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
        if (bytes_used != 0 && data.size() >= bytes_used) {
            data.resize(bytes_used);
            break;
        }
        if (data.size() > max_input_size) {
            problem = "the file is larger than " + std::to_string(max_input_size >> 20) + " MiB";
            break;
        }
        if (got < chunk.size()) {
            if (std::ferror(file))
                problem = std::strerror(errno);
            break;
        }
    }
    std::fclose(file);
    return problem;
}

namespace {

// Why the save of output `path` failed, from replace_files' or commit_files' `status`
// and errno, with what was written: nothing, or the `failed` outputs before it.
complaint write_failure(const std::string& path, int status, std::size_t failed, std::size_t count)
{
    const int error = errno; // before save_refusal looks at the file
    const char* refusal = save_refusal(path.c_str());
    const std::string reason = refusal ? refusal : error ? std::strerror(error) : "unknown error";
    if (status != -2)
        return {path, "cannot be written: " + reason + "; nothing was written"};
    return {path, "cannot be written: " + reason + "; the " + std::to_string(failed) +
                      " outputs before it were written, it and the " + std::to_string(count - failed - 1) +
                      " after it were not"};
}

} // namespace

output_set::~output_set()
{
    discard_files(staged);
}

complaint open_outputs(const std::vector<std::string>& inputs, std::vector<std::string> paths, output_set& set)
{
    // Compared by what they reach: a link or another spelling of an input is that input.
    std::vector<std::string> read;
    for (const std::string& input : inputs)
        read.push_back(file_identity(input.c_str()));
    std::vector<std::string> written;
    for (const std::string& path : paths) {
        const std::string output = file_identity(path.c_str());
        for (std::size_t i = 0; i < read.size(); ++i)
            if (output == read[i])
                return {path, "is also an input (" + inputs[i] + "); an input is never overwritten; nothing was written",
                        true};
        for (std::size_t i = 0; i < written.size(); ++i)
            if (output == written[i])
                return {path, "is also the output " + paths[i] + "; two outputs cannot share a file; nothing was written",
                        true};
        written.push_back(output);
    }
    set.paths = std::move(paths);
    return {};
}

complaint stage_output(output_set& set, std::size_t index, std::span<const std::uint8_t> bytes)
{
    const std::string& path = set.paths.at(index);
    errno = 0;
    if (const int status = stage_file(set.staged, {path.c_str(), bytes.data(), bytes.size()}); status != 0) {
        const complaint failed = write_failure(path, status, 0, 0);
        discard_files(set.staged);
        set.staged_paths.clear();
        return failed;
    }
    set.staged_paths.push_back(index);
    return {};
}

complaint commit_outputs(output_set& set)
{
    std::size_t failed = 0;
    errno = 0;
    const std::size_t count = set.staged.size();
    const int status = commit_files(set.staged, failed);
    if (status == 0)
        return {};
    return write_failure(set.paths[set.staged_paths[failed]], status, failed, count);
}

complaint write_outputs(const std::vector<std::string>& inputs, const std::vector<output_file>& outputs)
{
    std::vector<std::string> paths;
    for (const output_file& output : outputs)
        paths.push_back(output.path);
    output_set set;
    if (complaint refused = open_outputs(inputs, paths, set); !refused.problem.empty())
        return refused;
    std::vector<new_file> files;
    for (const output_file& output : outputs)
        files.push_back({output.path.c_str(), output.bytes.data(), output.bytes.size()});
    std::size_t failed = 0;
    errno = 0;
    const int status = replace_files(files, failed);
    return status == 0 ? complaint{} : write_failure(outputs[failed].path, status, failed, outputs.size());
}
