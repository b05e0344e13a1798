#include "wide_text.h"

#include <algorithm>

namespace usbhost {
namespace {

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

std::u16string_view WideView(LPCWSTR text) { return text ? std::u16string_view(text) : std::u16string_view(); }

bool WideEqualNoCase(std::u16string_view a, std::u16string_view b) {
  return std::ranges::equal(a, b, [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

}  // namespace usbhost
