#include "pngimage.hpp"
