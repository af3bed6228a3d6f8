// Converting again whenever an input changes (--watch), for a game engine that reloads
// its assets while it runs. Linux only: the folders are watched with inotify, so that
// a file that an editor saves by renaming a new file into place is followed by its
// name. The build defines PIXCONV_WATCH where this module is compiled.
#pragma once
#include <functional>
#include <string>
#include <vector>

// Runs `convert` once, then again each time one of `inputs` is closed after writing or
// renamed into place (a burst of changes within 50 ms gives one run), until SIGINT or
// SIGTERM arrives. After a run that returns 0 it prints "pixconv: OUTPUT: written" on
// standard output; a run that fails has printed its own error line, and the watch
// goes on, since an input that is missing or half written now is usually whole at its
// next change. Idle, it sleeps in poll() and uses no processor time.
// Returns 0 when ended by a signal, or 1 after printing why the folders of the inputs
// cannot be watched.
int watch_and_convert(const std::vector<std::string>& inputs, const std::string& output,
                      const std::function<int()>& convert);
