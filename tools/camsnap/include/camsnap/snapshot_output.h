// Where a snapshot goes: a new file (an existing one only with overwrite), written whole
// or not at all, or standard output.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Writes `jpeg` to `path` ("-": standard output). False with `error` set; a file that
// did not get every byte is removed.
bool SaveSnapshotFile(const std::string& path, std::span<const uint8_t> jpeg, bool overwrite, std::string& error);
