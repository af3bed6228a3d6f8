#include "formats/nulldevice.hpp"

#include <fcntl.h>
#include <io.h>

int open_null_device()
{
    return _open("NUL", _O_WRONLY | _O_NOINHERIT);
}
