// The version text the driver reports: 60 UTF-16 characters, zero-padded.
#pragma once

#include <array>

#include "platform/wintypes.h"
#include "velmar/vlm_ioctl.h"

inline constexpr size_t kVersionTextChars = VLM_VERSION_BYTES / sizeof(WCHAR);

inline constexpr std::array<WCHAR, kVersionTextChars> MakeVersionText(const WCHAR* text) {
  std::array<WCHAR, kVersionTextChars> padded{};
  for (size_t i = 0; i + 1 < kVersionTextChars && text[i] != 0; ++i) padded[i] = text[i];
  return padded;
}

inline constexpr std::array<WCHAR, kVersionTextChars> kVersionText =
    MakeVersionText(u"VELMAR 5.0.0.1 USB camera driver (Linux platform layer)");
static_assert(sizeof(kVersionText) == VLM_VERSION_BYTES);
