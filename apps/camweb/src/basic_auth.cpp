#include "camweb/basic_auth.h"

#include <algorithm>
#include <cctype>

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k) {
      group = group << 8 | (k < left ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (size_t k = 0; k < 4; ++k) text += k <= left ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return text;
}

BasicAuth::BasicAuth(std::string_view userAndPassword) : expectedToken_(Base64(userAndPassword)) {}

bool BasicAuth::Admits(std::optional<std::string_view> authorization) const {
  if (!authorization) return false;
  std::string_view value = *authorization;
  constexpr std::string_view kScheme = "basic ";
  if (value.size() < kScheme.size() || !std::equal(kScheme.begin(), kScheme.end(), value.begin(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
      })) {
    return false;
  }
  value.remove_prefix(kScheme.size());
  while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  // Compared in full whatever the first difference, so timing does not reveal it.
  unsigned difference = value.size() != expectedToken_.size();
  for (size_t i = 0; i < value.size(); ++i) difference |= value[i] ^ expectedToken_[i % expectedToken_.size()];
  return difference == 0;
}
