// libFuzzer target: bytes a network peer controls. The server's start-packet check sees
// the first 28 bytes; the recorder's stream splitter and size reader see the whole input,
// cut into pieces at places the input itself chooses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "stream_protocol/jpeg_image_size.h"
#include "stream_protocol/jpeg_stream_splitter.h"
#include "stream_protocol/stream_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);

  stream_protocol::StreamParameters parameters;
  const auto check = stream_protocol::CheckStartPacket(input.first(std::min<size_t>(size, 28)), parameters);
  if (check == stream_protocol::StartPacketCheck::kValid &&
      (parameters.frameRate < 1 || parameters.frameRate > stream_protocol::kMaxFrameRate)) {
    abort();  // a valid packet always carries a usable rate
  }
  stream_protocol::DecodeStartReply(input.first(std::min<size_t>(size, 12)));

  // The first byte picks the piece length, so the splitter meets images cut anywhere.
  const size_t piece = size == 0 ? 1 : 1 + data[0] % 97;
  JpegStreamSplitter splitter;
  size_t imageBytes = 0;
  for (size_t offset = 0; offset < size; offset += piece) {
    splitter.Feed(input.subspan(offset, std::min(piece, size - offset)), [&](std::span<const uint8_t> image) {
      if (image.size() < 4 || image[0] != 0xFF || image[1] != 0xD8) abort();  // images start with SOI
      imageBytes += image.size();
      JpegImageSize(image);
    });
  }
  if (imageBytes + splitter.DiscardedBytes() > size) abort();  // never invents bytes
  return 0;
}
