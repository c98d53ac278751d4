#pragma once

#include <string>
#include <vector>

namespace kpx {

// A write beyond the process's file-size limit then fails like one on a full disk, and is reported
// as such, instead of ending the process.
void reportOversizedWritesAsErrors();

// The arguments after the program's name, as UTF-8 text. On Windows they are read from the wide
// command line: main's argv holds them in the ANSI code page, which cannot hold every subject ID.
std::vector<std::string> programArguments(int argc, char **argv);

} // namespace kpx
