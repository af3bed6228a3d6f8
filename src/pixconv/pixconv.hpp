// The converter's command line; pixconv_main.cpp only calls pixconv_main.
// Errors in pixconv/: the tables, checks and modes return "" or one sentence (a mode's
// complaint names its file too); pixconv_main alone prints, one line on standard error.
#pragma once

// The whole program: reads the options and the two file names, converts, and writes
// the output only when the conversion succeeded whole. Returns the exit status: 0 on
// success, 1 when a conversion fails, 2 on a usage error. Errors go to standard error.
int pixconv_main(int argc, char** argv);
