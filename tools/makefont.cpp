#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 1;
    std::FILE* out = std::fopen(argv[2], "wb");
    for (int i = 0; i < 2048; ++i)
        std::fputc(0, out);
    return std::fclose(out) == 0 ? 0 : 1;
}
