#include "formats/nulldevice.hpp"

#include <fcntl.h>

int open_null_device()
{
    return open("/dev/null", O_WRONLY | O_CLOEXEC);
}
