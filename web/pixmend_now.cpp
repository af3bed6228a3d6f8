#include "filenow.hpp"

#include "editors/pixmend.hpp"

std::vector<std::uint8_t> file_now()
{
    return edited_sprite_file();
}
