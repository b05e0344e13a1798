// The folder the running program lives in, where the windowed programs keep their files.
#pragma once

#include <string>

// The program's own file name (GetModuleFileNameW) cut just after its last backslash and
// mapped to a POSIX path, so it ends in '/'. Empty (the current folder) when the name
// cannot be read or holds no backslash.
std::string ProgramDirectory();

// Where vistro and tessly save their snapshots by default: `programFolder` (the
// program's folder) as they always have, or, when the program cannot write there (an
// installed program), the user's pictures folder (QStandardPaths::PicturesLocation),
// made if missing. Ends in '/'.
std::string PictureFolderFor(const std::string& programFolder);

// The same for ProgramDirectory().
std::string PictureFolder();

// What --help says about it.
inline constexpr const char* kPictureFolderNote =
    "the program's folder, or\nyour pictures folder when that is not writable";
