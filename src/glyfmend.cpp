#include "glyfmend.hpp"

#include "fonts.hpp"

int glyfmend_main(int, char**)
{
    return 1;
}
