// Small UTF-16 helpers for the names USBD keeps (driver ids, library names, keys).
#pragma once

#include <string>
#include <string_view>

#include "platform/wintypes.h"

namespace usbhost {

// The text up to the terminator; empty for null.
std::u16string_view WideView(LPCWSTR text);

// Equality ignoring ASCII case, as Windows compares driver ids and module names.
bool WideEqualNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace usbhost
