#include "pixmend.hpp"

int pixmend_main(int, char**)
{
    return 1;
}
