// End of a RIFF piece and of the file: the "ix00" standard indexes with their
// super-index entries, the "idx1" of the first piece, the frame counters and
// the "odml" list.
#include <algorithm>
#include <array>

#include "avi_chunks.h"
#include "avi_state.h"

namespace {

constexpr uint32_t kNotKeyFrameBit = 0x80000000;
constexpr int kSuperIndexEntrySize = 16;

int32_t MostPackets(const AviState& state, int streamCount) {
  int32_t most = 0;
  for (int i = 0; i < streamCount; ++i) most = std::max(most, state.packetCount[i]);
  return most;
}

// Points the next free entry of stream i's super index at the "ix" chunk that
// spans [ixStart, end).
void AddSuperIndexEntry(AviWriter& writer, int i, int64_t ixStart, int64_t end) {
  ByteStream& stream = writer.stream;
  const AviState& state = writer.state;
  stream.Seek(state.index[i].superIndexStart - 8);
  stream.PutFourCC("indx");
  stream.Skip(8);  // size, longs per entry, sub-type, type
  stream.Put32(static_cast<uint32_t>(state.riffCount));
  stream.Skip(int64_t{kSuperIndexEntrySize} * state.riffCount);
  stream.Put64(static_cast<uint64_t>(ixStart));
  stream.Put32(static_cast<uint32_t>(end - ixStart));
  stream.Put32(static_cast<uint32_t>(state.index[i].entryCount));
  stream.Seek(end);
}

void WriteStandardIndexes(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  const AviState& state = writer.state;
  if (state.riffCount > kAviMaxIndexedPieces) return;
  for (int i = 0; i < writer.streamCount; ++i) {
    const AviStreamIndex& index = state.index[i];
    const int64_t ixStart = stream.Tell();
    stream.Put32(AviStandardIndexId(i));
    stream.Put32(static_cast<uint32_t>(index.entryCount) * 8 + 24);
    stream.Put16(2);    // longs per entry
    stream.PutByte(0);  // sub-type
    stream.PutByte(1);  // type: index of chunks
    stream.Put32(static_cast<uint32_t>(index.entryCount));
    stream.Put32(AviChunkId(i));
    stream.Put64(static_cast<uint64_t>(state.moviList));  // base offset
    stream.Put32(0);
    for (int32_t n = 0; n < index.entryCount; ++n) {
      const AviIndexEntry& entry = AviIndexAt(index, n);
      stream.Put32(entry.position + 8);  // chunk data, from the "movi" FourCC
      stream.Put32((entry.length & ~kNotKeyFrameBit) | ((entry.flags & kAviKeyFrameFlag) ? 0 : kNotKeyFrameBit));
    }
    stream.Flush();
    AddSuperIndexEntry(writer, i, ixStart, stream.Tell());
  }
}

void WriteCounters(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  const AviState& state = writer.state;
  const int64_t end = stream.Tell();
  for (int i = 0; i < writer.streamCount; ++i) {
    stream.Seek(state.lengthPosition[i]);
    stream.Put32(static_cast<uint32_t>(state.packetCount[i]));
  }
  if (state.riffCount == 1) {
    stream.Seek(state.totalFramesPosition);
    stream.Put32(static_cast<uint32_t>(MostPackets(state, writer.streamCount)));
  }
  stream.Seek(end);
}

// "idx1" lists the chunks of the first piece in file order across all streams.
void WriteIdx1(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  const AviState& state = writer.state;
  const int64_t idx1 = AviStartChunk(stream, "idx1");
  std::array<int32_t, kAviMaxStreams> written{};
  for (;;) {
    int next = -1;
    for (int i = 0; i < writer.streamCount; ++i) {
      if (written[i] == state.index[i].entryCount) continue;
      if (next < 0 ||
          AviIndexAt(state.index[i], written[i]).position < AviIndexAt(state.index[next], written[next]).position) {
        next = i;
      }
    }
    if (next < 0) break;
    const AviIndexEntry& entry = AviIndexAt(state.index[next], written[next]++);
    stream.Put32(AviChunkId(next));
    stream.Put32(entry.flags);
    stream.Put32(entry.position);
    stream.Put32(entry.length);
  }
  AviEndChunk(stream, idx1);
  WriteCounters(writer);
}

// The "odml" placeholder becomes a "LIST" whose dmlh counts the frames of all pieces.
void CompleteOdml(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  const int64_t end = stream.Tell();
  stream.Seek(writer.state.odmlList - 8);
  stream.PutFourCC("LIST");
  stream.Skip(16);  // size, "odml", "dmlh", its size
  stream.Put32(static_cast<uint32_t>(MostPackets(writer.state, writer.streamCount)));
  stream.Seek(end);
}

void ClosePiece(AviWriter& writer, bool withStandardIndexes) {
  ByteStream& stream = writer.stream;
  if (withStandardIndexes) WriteStandardIndexes(writer);
  AviEndChunk(stream, writer.state.moviList);
  if (writer.state.riffCount == 1) WriteIdx1(writer);
  AviEndChunk(stream, writer.state.riffStart);
}

}  // namespace

void AviCutPiece(AviWriter& writer) {
  ClosePiece(writer, true);
  writer.state.moviList = AviStartPiece(writer, "AVIX", "movi");
}

void AviCloseFile(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  AviState& state = writer.state;
  // A file that never passed the threshold stays plain AVI, without "ix00".
  const bool openDml = state.riffCount > 1;
  ClosePiece(writer, openDml);
  if (openDml) {
    CompleteOdml(writer);
    WriteCounters(writer);
  }
  stream.Flush();
  for (AviStreamIndex& index : state.index) AviIndexRelease(index);
}

void AviCloseFileWithoutIndex(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  AviState& state = writer.state;
  AviEndChunk(stream, state.moviList);
  AviEndChunk(stream, state.riffStart);
  const int64_t end = stream.Tell();
  if (state.riffCount == 1) {
    // avih dwFlags lies just before dwTotalFrames.
    stream.Seek(state.totalFramesPosition - 4);
    stream.Put32(kAviMainHeaderFlags & ~kAviHasIndexFlag);
    stream.Seek(end);
  } else {
    // The super index lists the pieces closed before this one, whose "ix00" are whole.
    for (int i = 0; i < writer.streamCount; ++i) {
      stream.Seek(state.index[i].superIndexStart + 4);
      stream.Put32(static_cast<uint32_t>(state.riffCount - 1));
    }
    stream.Seek(end);
    CompleteOdml(writer);
  }
  WriteCounters(writer);
  stream.Flush();
  for (AviStreamIndex& index : state.index) AviIndexRelease(index);
}
