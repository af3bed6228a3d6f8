#include "pixconv.hpp"

#include <cstdio>

int pixconv_main(int, char**)
{
    std::fputs("pixconv: not built yet\n", stderr);
    return 1;
}
