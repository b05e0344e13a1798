// Files the windowed programs save pictures into. A saved file never replaces an
// existing one: two snapshots within one second would otherwise share a name and the
// second would silently destroy the first.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/wintypes.h"

// The date-and-time name of a snapshot: year (not padded), then month, day, hour, minute
// and second in two digits each ("20100305090407").
std::string SnapshotStem(const SYSTEMTIME& time);

// Creates a new file folder + stem + extension for writing (no sharing). When that name
// is taken, "-2", "-3", ... go before the extension until a free name is found. Returns
// the file handle and sets `path`, or INVALID_HANDLE_VALUE when no file can be created.
HANDLE CreateNewFile(const std::string& folder, const std::string& stem, std::string_view extension, std::string& path);

// Writes `bytes` into a file made by CreateNewFile. Returns the path, or empty when no
// file could be created or the bytes did not all reach it (the partial file is removed).
std::string WriteNewFile(const std::string& folder, const std::string& stem, std::string_view extension,
                         std::span<const uint8_t> bytes);

// A JPEG snapshot in `folder`, named by the local date and time (SnapshotStem + ".jpg").
std::string SaveSnapshot(const std::string& folder, std::span<const uint8_t> jpeg);
