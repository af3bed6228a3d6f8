#include "display/platform.hpp"

// The renderer SDL picks on Windows is Direct3D's, which wants a window made without
// OpenGL; SDL would otherwise make the window again behind our back.
Uint32 platform_window_flags()
{
    return 0;
}

void platform_quitting()
{
}
