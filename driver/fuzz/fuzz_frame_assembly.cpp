// libFuzzer target: arbitrary isochronous packet streams (lengths and bytes) through the
// capture thread's frame assembly into the frame slots, then every delivery path in the
// output format the input chooses.
//
// Input: format byte, size byte, packet-stride byte, then packets of a 16-bit
// little-endian actual length followed by up to that many bytes (fewer at the end of
// the input), four packets to a transfer.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "capture/frame_assembly.h"
#include "delivery/frame_delivery.h"
#include "delivery/output_format.h"
#include "device/vlm_device.h"
#include "usb/usb_attach.h"

namespace {

constexpr DWORD kPacketsPerTransfer = 4;
constexpr DWORD kLargestImage = 640 * 480 * 4;

// One open, capturing device record with its slots, kept for the whole run.
VlmDevice& Device() {
  static VlmDevice* device = [] {
    VlmDevice* made = AllocateDeviceContext();
    made->jpegWorkBuffer = static_cast<BYTE*>(LocalAlloc(LPTR, kJpegWorkBufferBytes));
    for (FrameSlot& slot : made->slots) {
      slot.capacity = kFrameSlotBytes;
      slot.buffer = static_cast<BYTE*>(LocalAlloc(LPTR, kFrameSlotBytes));
      InitializeCriticalSection(&slot.lock);
      slot.lockReady = true;
    }
    made->open = TRUE;
    made->streamingRunning = TRUE;
    return made;
  }();
  return *device;
}

class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return position_ >= size_; }
  uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }
  // Up to `count` bytes; fewer at the end of the input.
  size_t Take(size_t count, const uint8_t** start) {
    *start = data_ + position_;
    const size_t taken = count < size_ - position_ ? count : size_ - position_;
    position_ += taken;
    return taken;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

void DeliverEveryWay(VlmDevice& device) {
  static std::vector<BYTE> image(kLargestImage);
  static std::vector<BYTE> jpeg(kJpegWorkBufferBytes);
  DWORD sizes[2] = {};
  DWORD size = 0;
  ReadFrame(&device, image.data(), static_cast<DWORD>(image.size()));
  FetchJpegImage(&device, jpeg.data(), static_cast<DWORD>(jpeg.size()), &size);
  if (device.frameCounter > device.deliveredFrame) {
    FetchNewFrame(&device, image.data(), static_cast<DWORD>(image.size()), jpeg.data(), static_cast<DWORD>(jpeg.size()),
                  sizes);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VlmDevice& device = Device();
  InputReader input(data, size);
  SetOutputFormat(&device, input.Byte() % 6, input.Byte() % 2);
  const DWORD stride = 16 + input.Byte() * 4;  // 16 to 1036: also beyond what a slot pass holds
  device.frameCounter = 0;
  device.deliveredFrame = 0;
  FrameAssembler assembler(device);
  assembler.Restart();

  std::vector<BYTE> received(kPacketsPerTransfer * stride);
  while (!input.Empty()) {
    DWORD lengths[kPacketsPerTransfer] = {};
    for (DWORD i = 0; i < kPacketsPerTransfer; ++i) {
      lengths[i] = input.Byte();
      lengths[i] |= static_cast<DWORD>(input.Byte()) << 8;
      const uint8_t* bytes = nullptr;
      const size_t taken = input.Take(lengths[i] < stride ? lengths[i] : stride, &bytes);
      std::memcpy(received.data() + i * stride, bytes, taken);
    }
    const DWORD before = device.frameCounter;
    assembler.AddTransfer(received.data(), stride, lengths, kPacketsPerTransfer);
    if (device.frameCounter != before) DeliverEveryWay(device);
  }
  return 0;
}
