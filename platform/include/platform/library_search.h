// Where LoadLibraryW finds a library named the Windows way ("VELMAR.DLL"), and why a load
// failed, for messages that tell a user what to do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// "VELMAR.DLL" is the file "libvelmar.so", looked for in the folders of VELMAR_DLL_PATH
// (':'-separated), beside the executable, then beside the platform library (where an
// installed system keeps its driver libraries). A name with '/' is a path of its own.
struct LibrarySearch {
  std::string file;
  std::vector<std::string> folders;
};
LibrarySearch LibrarySearchFor(std::u16string_view moduleName);

// Why this thread's last failed LoadLibraryW failed, in one line: the file and the folders
// it was looked for in, or the dynamic loader's reason. Empty when nothing failed yet.
std::string LastLoadFailure();
