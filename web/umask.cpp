// Linked into every program of the web build. emscripten's C library starts with umask
// 0777 and its file system enforces modes, so a file the safe save creates would get mode
// 0000 and could not be read back. The desktop's usual mask is set before main runs.
#include <sys/stat.h>

namespace {

[[maybe_unused]] const mode_t previous_umask = umask(022);

} // namespace
