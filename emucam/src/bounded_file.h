// Files named in a camera's options are read whole at start-up, so only a regular file
// of a bounded size is taken: a device, a pipe or a folder, or a huge file, is refused
// with a reason instead of filling memory or blocking the boot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emucam {

// The bytes of the regular file at `path` if it holds at most `maxBytes`; otherwise
// nullopt with `error` set to a reason that reads after the file's name ("is not a
// regular file").
std::optional<std::vector<uint8_t>> ReadBoundedFile(const std::string& path, size_t maxBytes, std::string& error);

}  // namespace emucam
