#include "editors/glyfmend.hpp"

int main(int argc, char** argv)
{
    return glyfmend_main(argc, argv);
}
