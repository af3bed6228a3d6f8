// Standard input, output and error in binary mode, as every file already is (binmode.o):
// a message or a listing then has the same bytes on Windows as on Linux, "\n" and all,
// whether it goes to a console, a pipe or a file. Linked into each Windows program.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <initializer_list>

namespace {

const bool streams_binary = [] {
    for (std::FILE* stream : {stdin, stdout, stderr})
        _setmode(_fileno(stream), _O_BINARY);
    return true;
}();

} // namespace
