// libFuzzer target: bytes a network peer controls. The server's start-packet check sees
// the first 28 bytes; the recorder's stream splitter and size reader see the whole input,
// cut into pieces at places the input itself chooses.
#include <algorithm>
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

  // The first byte cuts the input into 1 to 8 equal pieces and the second shortens the
  // first one, so the splitter meets images cut anywhere at a cost of a few calls per
  // input (pieces of a byte or so made long inputs a hundred times slower).
  const size_t pieces = size == 0 ? 1 : 1 + data[0] % 8;
  const size_t length = std::max<size_t>(1, (size + pieces - 1) / pieces);
  JpegStreamSplitter splitter;
  size_t imageBytes = 0;
  size_t piece = size > 1 ? 1 + data[1] % length : length;
  for (size_t offset = 0; offset < size; offset += piece, piece = length) {
    splitter.Feed(input.subspan(offset, std::min(piece, size - offset)), [&](std::span<const uint8_t> image) {
      if (image.size() < 4 || image[0] != 0xFF || image[1] != 0xD8) abort();  // images start with SOI
      imageBytes += image.size();
      JpegImageSize(image);
    });
  }
  if (imageBytes + splitter.DiscardedBytes() > size) abort();  // never invents bytes
  return 0;
}
