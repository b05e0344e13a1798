// Files that hold a user's data in a folder other users may reach (a dump of a frame).
#pragma once

#include <cstdio>
#include <string>

// Opens `path` for reading and writing ("w+b"), mode 0600: a new file, or the user's
// own earlier file emptied. Never follows a symbolic link at `path`, and leaves alone a
// file that is not regular, belongs to someone else or has further names (hard links):
// null then, as for any failure.
std::FILE* CreatePrivateFile(const std::string& path);
