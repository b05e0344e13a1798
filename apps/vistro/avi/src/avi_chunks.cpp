#include "avi_chunks.h"

int64_t AviStartChunk(ByteStream& stream, const char* fourcc) {
  stream.PutFourCC(fourcc);
  stream.Put32(0);
  return stream.Tell();
}

void AviEndChunk(ByteStream& stream, int64_t dataStart) {
  const int64_t end = stream.Tell();
  stream.Seek(dataStart - 4);
  stream.Put32(static_cast<uint32_t>(end - dataStart));
  stream.Seek(end);
}

// Two decimal digits, so that streams 10 and up still get ids readers parse.
static uint32_t StreamDigits(int streamNumber) {
  return static_cast<uint32_t>('0' + streamNumber / 10) | static_cast<uint32_t>('0' + streamNumber % 10) << 8;
}

uint32_t AviChunkId(int streamNumber) {
  return StreamDigits(streamNumber) | static_cast<uint32_t>('d') << 16 | static_cast<uint32_t>('c') << 24;
}

uint32_t AviStandardIndexId(int streamNumber) {
  return static_cast<uint32_t>('i') | static_cast<uint32_t>('x') << 8 | StreamDigits(streamNumber) << 16;
}
