// The system's null device, for a library's chatter that a quiet program must not show:
// /dev/null (nulldevice_posix.cpp) or Windows' NUL (nulldevice_windows.cpp), chosen by this
// folder's CMakeLists.txt.
#pragma once

// A new descriptor open for writing on the null device, not handed on to programs
// started later; -1 when it cannot be opened.
int open_null_device();
