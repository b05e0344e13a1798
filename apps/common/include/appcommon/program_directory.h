// The folder the running program lives in, where the windowed programs keep their files.
#pragma once

#include <string>

// The program's own file name (GetModuleFileNameW) cut just after its last backslash and
// mapped to a POSIX path, so it ends in '/'. Empty (the current folder) when the name
// cannot be read or holds no backslash.
std::string ProgramDirectory();
