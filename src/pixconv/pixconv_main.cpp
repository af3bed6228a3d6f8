#include "pixconv/pixconv.hpp"

int main(int argc, char** argv)
{
    return pixconv_main(argc, argv);
}
