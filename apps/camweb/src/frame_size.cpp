#include "camweb/frame_size.h"

#include "velmar/vlm_ioctl.h"

std::optional<FrameSize> ParseFrameSize(std::string_view text) {
  if (text == "640x480") return kLargeFrame;
  if (text == "320x240") return kSmallFrame;
  return std::nullopt;
}

std::string FormatFrameSize(FrameSize size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

uint32_t SizeIndex(FrameSize size) { return size == kSmallFrame ? VLM_SIZE_320X240 : VLM_SIZE_640X480; }
