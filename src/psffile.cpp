#include "psffile.hpp"
