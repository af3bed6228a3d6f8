#include "editors/pixmend.hpp"

int main(int argc, char** argv)
{
    return pixmend_main(argc, argv);
}
