// What the safe save does alike on every system, over the set form of each system's source.
#include "art/savefile.hpp"

int replace_file(const char* filename, const std::uint8_t* data, std::size_t size)
{
    const new_file file{filename, data, size};
    std::size_t failed = 0;
    const int status = replace_files({&file, 1}, failed);
    return status == -2 ? -1 : status;
}
