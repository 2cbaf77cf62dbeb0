// A scratch working directory holding copies of the runtime images, so that
// the program finds them and writes its temporary files away from the sources.
#pragma once

#include <string>

// Creates the directory (once) and makes it the working directory.
const std::string &enter_test_workdir();
// Path of a new empty scratch directory below the working directory.
std::string make_scratch_dir(const char *name);
// Whole contents of a file; empty when it cannot be read.
std::string read_file(const std::string &path);
// Writes `bytes` to `path`, replacing it.
void write_file(const std::string &path, const std::string &bytes);
