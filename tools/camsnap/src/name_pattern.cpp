#include "camsnap/name_pattern.h"

#include <vector>

namespace {
constexpr size_t kLongestName = 4096;
}

std::string ExpandNamePattern(const std::string& pattern, unsigned number, const std::tm& time) {
  // %n first; every other field, "%%" included, is strftime's.
  std::string format;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      if (pattern[i + 1] == 'n') {
        format += std::to_string(number);
        ++i;
        continue;
      }
      format += pattern.substr(i, 2);
      ++i;
      continue;
    }
    format += pattern[i];
  }
  // strftime gives 0 for an empty result as well as for one too long: a marker byte
  // tells them apart.
  format += '|';
  std::vector<char> name(kLongestName + 2);
  // The pattern is the user's own: strftime reads it as data, never as printf arguments.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const size_t length = std::strftime(name.data(), name.size(), format.c_str(), &time);
#pragma GCC diagnostic pop
  if (length <= 1) return {};
  return std::string(name.data(), length - 1);
}
