// The contract between the velmar driver and its callers: control codes, output
// formats and size indexes of the stream device "VLMn:". Shared by the driver and the
// camera client library; programs never link the driver itself.
#pragma once

#include <cstdint>

// Built like the platform's control codes: device type << 16 | access << 14 |
// function << 2 | method (buffered, 0).
constexpr uint32_t VlmControlCode(uint32_t deviceType, uint32_t function) {
  return (deviceType << 16) | (function << 2);
}

constexpr uint32_t IOCTL_VLM_START_CAPTURE = VlmControlCode(0xB01B, 0x87B);
constexpr uint32_t IOCTL_VLM_SET_FORMAT = VlmControlCode(0xB01B, 0x880);
constexpr uint32_t IOCTL_VLM_GET_FORMAT = VlmControlCode(0xB01B, 0x881);
constexpr uint32_t IOCTL_VLM_GET_JPEG = VlmControlCode(0xB01B, 0x882);
constexpr uint32_t IOCTL_VLM_READ_REGISTER = VlmControlCode(0xB01B, 0x883);
constexpr uint32_t IOCTL_VLM_WRITE_REGISTER = VlmControlCode(0xB01B, 0x884);
constexpr uint32_t IOCTL_VLM_GET_FRAME = VlmControlCode(0xB01B, 0x885);
constexpr uint32_t IOCTL_VLM_SET_EXPOSURE = VlmControlCode(0xB01B, 0x887);
constexpr uint32_t IOCTL_VLM_GET_MODE = VlmControlCode(0xB01B, 0x8EC);
constexpr uint32_t IOCTL_VLM_SET_MODE = VlmControlCode(0xB01B, 0x8ED);
constexpr uint32_t IOCTL_VLM_GET_BANDWIDTH = VlmControlCode(0xB01B, 0x8EE);
constexpr uint32_t IOCTL_VLM_SET_BANDWIDTH = VlmControlCode(0xB01B, 0x8EF);
constexpr uint32_t IOCTL_VLM_STOP_CAPTURE = VlmControlCode(0xB01B, 0x941);
constexpr uint32_t IOCTL_VLM_GET_VERSION = VlmControlCode(0xFFFF, 0xFFF);

static_assert(IOCTL_VLM_START_CAPTURE == 0xB01B21ECu);
static_assert(IOCTL_VLM_SET_FORMAT == 0xB01B2200u);
static_assert(IOCTL_VLM_GET_FRAME == 0xB01B2214u);
static_assert(IOCTL_VLM_GET_MODE == 0xB01B23B0u);
static_assert(IOCTL_VLM_STOP_CAPTURE == 0xB01B2504u);
static_assert(IOCTL_VLM_GET_VERSION == 0xFFFF3FFCu);

// Output formats: the input length of IOCTL_VLM_SET_FORMAT.
constexpr uint32_t VLM_FORMAT_RGB565 = 0;
constexpr uint32_t VLM_FORMAT_RGB24 = 1;
constexpr uint32_t VLM_FORMAT_RGB32 = 2;
constexpr uint32_t VLM_FORMAT_YUV420P = 3;
constexpr uint32_t VLM_FORMAT_JPEG = 4;
constexpr uint32_t VLM_FORMAT_YUV422P = 5;

// Size indexes: the output length of IOCTL_VLM_SET_FORMAT.
constexpr uint32_t VLM_SIZE_640X480 = 0;
constexpr uint32_t VLM_SIZE_320X240 = 1;

// The version text is always exactly this many bytes of UTF-16.
constexpr uint32_t VLM_VERSION_BYTES = 120;

// Largest JPEG image a frame request can deliver: the driver's work buffer.
constexpr uint32_t VLM_MAX_JPEG_BYTES = 40960;
