// Header of a recording: "hdrl" with the main header, one "strl" per stream,
// the placeholders that later become "indx" and "odml", and the "movi" start.
#include <algorithm>
#include <numeric>

#include "avi_chunks.h"
#include "avi_state.h"

namespace {

constexpr uint32_t kSuggestedBufferSize = 0x100000;
constexpr int kSuperIndexSlots = 512;  // 64-bit zeros: 255 entries of 16 bytes, with spare
constexpr int kDmlhPayload = 248;
constexpr int kHeaderPaddingWords = 254;

void PutZeros32(ByteStream& stream, int count) {
  for (int i = 0; i < count; ++i) stream.Put32(0);
}

void PutMainHeader(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  const AviStream* last = writer.streamCount > 0 ? writer.streams[writer.streamCount - 1].get() : nullptr;
  int64_t bitRateSum = 0;
  for (int i = 0; i < writer.streamCount; ++i) bitRateSum += writer.streams[i]->bitRate;

  stream.PutFourCC("avih");
  stream.Put32(56);
  stream.Put32(last ? static_cast<uint32_t>(int64_t{1000000} * last->timeBaseNumerator / last->timeBaseDenominator)
                    : 0);
  stream.Put32(static_cast<uint32_t>(bitRateSum / 8));
  stream.Put32(0);  // padding granularity
  stream.Put32(kAviMainHeaderFlags);
  writer.state.totalFramesPosition = stream.Tell();
  stream.Put32(0);  // total frames
  stream.Put32(0);  // initial frames
  stream.Put32(static_cast<uint32_t>(writer.streamCount));
  stream.Put32(kSuggestedBufferSize);
  stream.Put32(last ? static_cast<uint32_t>(last->width) : 0);
  stream.Put32(last ? static_cast<uint32_t>(last->height) : 0);
  PutZeros32(stream, 4);
}

void PutStreamHeader(AviWriter& writer, int i) {
  ByteStream& stream = writer.stream;
  const AviStream& avi = *writer.streams[i];
  const int64_t strh = AviStartChunk(stream, "strh");
  stream.PutFourCC("vids");
  stream.Put32(avi.fourcc);
  stream.Put32(0);  // flags
  stream.Put16(0);  // priority
  stream.Put16(0);  // language
  stream.Put32(0);  // initial frames
  const int32_t divisor = std::gcd(avi.timeBaseNumerator, avi.timeBaseDenominator);
  stream.Put32(static_cast<uint32_t>(avi.timeBaseNumerator / divisor));    // scale
  stream.Put32(static_cast<uint32_t>(avi.timeBaseDenominator / divisor));  // rate
  stream.Put32(0);                                                         // start
  writer.state.lengthPosition[i] = stream.Tell();
  stream.Put32(0);  // length
  stream.Put32(kSuggestedBufferSize);
  stream.Put32(0xFFFFFFFF);  // quality
  stream.Put32(0);           // sample size
  stream.Put32(0);           // frame rectangle left, top
  stream.Put16(static_cast<uint16_t>(avi.width));
  stream.Put16(static_cast<uint16_t>(avi.height));
  AviEndChunk(stream, strh);
}

void PutStreamFormat(ByteStream& stream, const AviStream& avi) {
  const int64_t strf = AviStartChunk(stream, "strf");
  stream.Put32(40);  // header size
  stream.Put32(static_cast<uint32_t>(avi.width));
  stream.Put32(static_cast<uint32_t>(avi.height));
  stream.Put16(1);   // planes
  stream.Put16(24);  // bits per pixel
  stream.Put32(avi.fourcc);
  const uint64_t imageSize = uint64_t{3} * static_cast<uint32_t>(avi.width) * static_cast<uint32_t>(avi.height);
  stream.Put32(static_cast<uint32_t>(std::min<uint64_t>(imageSize, UINT32_MAX)));
  PutZeros32(stream, 4);
  AviEndChunk(stream, strf);
}

void PutSuperIndexPlaceholder(AviWriter& writer, int i) {
  ByteStream& stream = writer.stream;
  writer.state.index[i].superIndexStart = AviStartChunk(stream, "JUNK");
  stream.Put16(4);    // longs per entry
  stream.PutByte(0);  // sub-type
  stream.PutByte(0);  // type: index of indexes
  stream.Put32(0);    // entries in use
  stream.Put32(AviChunkId(i));
  stream.Put64(0);
  for (int slot = 0; slot < kSuperIndexSlots; ++slot) stream.Put64(0);
  AviEndChunk(stream, writer.state.index[i].superIndexStart);
}

void PutOdmlPlaceholder(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  writer.state.odmlList = AviStartChunk(stream, "JUNK");
  stream.PutFourCC("odml");
  stream.PutFourCC("dmlh");
  stream.Put32(kDmlhPayload);
  PutZeros32(stream, kDmlhPayload / 4);
  AviEndChunk(stream, writer.state.odmlList);
}

}  // namespace

int64_t AviStartPiece(AviWriter& writer, const char* formType, const char* listType) {
  AviState& state = writer.state;
  ByteStream& stream = writer.stream;
  ++state.riffCount;
  for (AviStreamIndex& index : state.index) index.entryCount = 0;
  state.riffStart = AviStartChunk(stream, "RIFF");
  stream.PutFourCC(formType);
  const int64_t list = AviStartChunk(stream, "LIST");
  stream.PutFourCC(listType);
  return list;
}

void AviLayOutHeader(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  writer.state.riffCount = 0;
  const int64_t hdrl = AviStartPiece(writer, "AVI ", "hdrl");
  PutMainHeader(writer);
  for (int i = 0; i < writer.streamCount; ++i) {
    const int64_t strl = AviStartChunk(stream, "LIST");
    stream.PutFourCC("strl");
    PutStreamHeader(writer, i);
    PutStreamFormat(stream, *writer.streams[i]);
    PutSuperIndexPlaceholder(writer, i);
    AviEndChunk(stream, strl);
  }
  PutOdmlPlaceholder(writer);
  AviEndChunk(stream, hdrl);

  const int64_t junk = AviStartChunk(stream, "JUNK");
  PutZeros32(stream, kHeaderPaddingWords);
  AviEndChunk(stream, junk);

  writer.state.moviList = AviStartChunk(stream, "LIST");
  stream.PutFourCC("movi");
  stream.Flush();
}
