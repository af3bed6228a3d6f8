// The converter's command line; pixconv_main.cpp only calls pixconv_main, which reads
// as: parse the command line from the option table, pick the mode from the mode table,
// let the mode plan and run (its formats from the format table, its outputs through the
// one write path), print.
// Errors in pixconv/: every function returns "" or one sentence, or a complaint
// (pixconv_files.hpp) that names the file to blame; pixconv_main alone prints, one line
// on standard error, and alone catches running out of memory.
#pragma once

// The whole program: reads the options and the file names, converts, and writes the
// outputs only when the conversion succeeded whole. Returns the exit status: 0 on
// success, 1 when a conversion fails, 2 on a usage error. Errors go to standard error.
int pixconv_main(int argc, char** argv);
