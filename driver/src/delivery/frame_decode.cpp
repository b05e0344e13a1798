#include "delivery/frame_decode.h"

#include <atomic>
#include <cstdio>
#include <memory>

#include "platform/cestring.h"
#include "platform/private_file.h"

namespace {

std::atomic<DecodeRoutine> decodeRoutine{&DecodeImage};
// Set once per loading of the driver, never cleared.
std::atomic<bool> faultImageDumped{false};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

void DumpFaultingImage(const VlmDevice& device) {
  if (faultImageDumped.exchange(true)) return;
  // The folder may be reachable by other users: no link is followed, the file is 0600.
  const std::unique_ptr<std::FILE, FileCloser> file(CreatePrivateFile(MapPlatformPath(kDecoderFaultDumpPath)));
  if (file) std::fwrite(device.jpegWorkBuffer, 1, device.jpegLength, file.get());
}

}  // namespace

std::int32_t DecodeFrame(VlmDevice& device, DecodedImage& decoded) {
  const JpegInput input{device.jpegWorkBuffer, device.jpegLength};
  const std::int32_t size = decodeRoutine.load()(device.decoder, &input, &decoded);
  // The planes are later read as an image of the device's output size.
  if (size <= 0 || decoded.width != device.frameWidth || decoded.height != device.frameHeight ||
      decoded.mode != kSamplingMode422) {
    return 0;
  }
  return size;
}

std::int32_t DecodeFrameKeepingFaults(VlmDevice& device, DecodedImage& decoded) {
  try {
    return DecodeFrame(device, decoded);
  } catch (...) {
    DumpFaultingImage(device);
    return 0;
  }
}

void SetDecodeRoutine(DecodeRoutine routine) { decodeRoutine = routine != nullptr ? routine : &DecodeImage; }
