#include "gzipdata.hpp"
