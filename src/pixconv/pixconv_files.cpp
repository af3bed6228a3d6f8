#include "pixconv/pixconv_files.hpp"

#include "art/savefile.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

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

int write_output_files(std::span<const output_file> outputs, std::size_t& failed)
{
    std::vector<new_file> files;
    for (const output_file& output : outputs)
        files.push_back({output.path.c_str(), output.bytes.data(), output.bytes.size()});
    return replace_files(files, failed);
}
