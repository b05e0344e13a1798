// File names of snapshots: strftime fields of the local time, and %n for the number of
// the picture (from 1).
#pragma once

#include <ctime>
#include <string>

// `pattern` with %n replaced by `number` and the strftime fields filled from `time`
// ("%%" stays a percent sign). Empty when the name comes out empty or too long.
std::string ExpandNamePattern(const std::string& pattern, unsigned number, const std::tm& time);
