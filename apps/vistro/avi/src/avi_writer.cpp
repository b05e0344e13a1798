#include "avi/avi_writer.h"

#include <new>

#include "avi_chunks.h"
#include "avi_state.h"
#include "codec_tag_table.h"
#include "recording_file.h"

namespace {

constexpr int kMaxDimension = 65535;  // the stream header stores 16-bit sizes

int Report(const AviWriter& writer) { return writer.failed || writer.stream.Error() < 0 ? -1 : 0; }

AviFrameMark Mark(const AviWriter& writer) {
  const AviState& state = writer.state;
  AviFrameMark mark;
  mark.end = writer.stream.Tell();
  mark.riffStart = state.riffStart;
  mark.moviList = state.moviList;
  mark.riffCount = state.riffCount;
  mark.packetCount = state.packetCount;
  for (int i = 0; i < kAviMaxStreams; ++i) mark.entryCount[i] = state.index[i].entryCount;
  return mark;
}

// A frame that did not reach the file whole is taken back: the state is as it was
// after the last whole frame, which is what the file will describe.
void TakeBack(AviWriter& writer, const AviFrameMark& mark) {
  AviState& state = writer.state;
  state.riffStart = mark.riffStart;
  state.moviList = mark.moviList;
  state.riffCount = mark.riffCount;
  state.packetCount = mark.packetCount;
  for (int i = 0; i < kAviMaxStreams; ++i) state.index[i].entryCount = mark.entryCount[i];
}

void Fail(AviWriter& writer) {
  writer.failed = true;
  writer.failureErrno = -writer.stream.Error();
}

// Finishes a file whose output failed, from the end of its last whole frame: the
// indexes if the disk still takes them, else the sizes and counters alone, which
// lie in space the file already has.
void FinishAfterFailure(AviWriter& writer) {
  ByteStream& stream = writer.stream;
  const AviFrameMark& last = writer.committed;
  if (last.end == 0 || !stream.Recover(last.end)) return;  // not even the header is there
  if (writer.state.riffCount == 1) {
    // A cut into a second piece that failed may have named the super index already.
    for (int i = 0; i < writer.streamCount; ++i) {
      stream.Seek(writer.state.index[i].superIndexStart - 8);
      stream.PutFourCC("JUNK");
    }
    stream.Seek(last.end);
  }
  AviCloseFile(writer);
  if (stream.Error() == 0) return;
  if (stream.Recover(last.end)) AviCloseFileWithoutIndex(writer);
}

}  // namespace

AviWriter::AviWriter(FILE* openFile)
    : file(openFile), stream(buffer.data(), kAviBufferSize, RecordingFileSink(openFile)) {}

AviWriter* AviOpen(const char* path) {
  if (path == nullptr) return nullptr;
  FILE* file = OpenRecordingFile(path);
  if (file == nullptr) return nullptr;
  auto* writer = new (std::nothrow) AviWriter(file);
  if (writer == nullptr) std::fclose(file);
  return writer;
}

int AviAddVideoStream(AviWriter* writer, int codecNumber, int width, int height, int framesPerSecond, int bitRate) {
  if (writer == nullptr) return -1;
  const std::lock_guard guard(writer->lock);
  const uint32_t fourcc = CodecTagTableLookup(codecNumber);
  if (fourcc == 0 || writer->phase != AviPhase::kDeclaring || writer->streamCount == kAviMaxStreams) return -1;
  if (width < 1 || width > kMaxDimension || height < 1 || height > kMaxDimension || framesPerSecond < 1 ||
      bitRate < 0) {
    return -1;
  }
  auto avi = std::unique_ptr<AviStream>(new (std::nothrow) AviStream);
  if (!avi) return -1;
  avi->width = width;
  avi->height = height;
  avi->codecNumber = codecNumber;
  avi->fourcc = fourcc;
  avi->bitRate = bitRate;
  avi->timeBaseNumerator = 1;
  avi->timeBaseDenominator = framesPerSecond;
  writer->streams[writer->streamCount] = std::move(avi);
  return writer->streamCount++;
}

int AviWriteHeader(AviWriter* writer) {
  if (writer == nullptr) return -1;
  const std::lock_guard guard(writer->lock);
  if (writer->phase != AviPhase::kDeclaring) return -1;
  AviLayOutHeader(*writer);
  writer->phase = AviPhase::kWriting;
  if (writer->stream.Error() < 0) {
    Fail(*writer);
    return -1;
  }
  writer->committed = Mark(*writer);
  return 0;
}

int AviWriteFrame(AviWriter* writer, int streamNumber, bool keyFrame, const void* data, int32_t length) {
  if (writer == nullptr) return -1;
  const std::lock_guard guard(writer->lock);
  if (writer->phase != AviPhase::kWriting || streamNumber < 0 || streamNumber >= writer->streamCount || length < 0 ||
      (data == nullptr && length > 0)) {
    return -1;
  }
  if (writer->failed) return -1;
  AviState& state = writer->state;
  ByteStream& stream = writer->stream;
  const AviFrameMark before = Mark(*writer);
  const bool cut = stream.Tell() - state.riffStart > state.pieceThreshold;
  if (cut) AviCutPiece(*writer);
  AviStreamIndex& index = state.index[streamNumber];
  // After a cut the frame's entry takes the first slot, which the piece before still
  // needs if the frame has to be taken back.
  const bool slotInUse = cut && index.entriesAllocated > 0;
  const AviIndexEntry displaced = slotInUse ? AviIndexAt(index, 0) : AviIndexEntry{};

  const AviIndexEntry entry{keyFrame ? kAviKeyFrameFlag : 0, static_cast<uint32_t>(stream.Tell() - state.moviList),
                            static_cast<uint32_t>(length)};
  if (!AviIndexAppend(index, entry, state.allocateCluster)) return -1;
  // Counted only now, so that the counters match the chunks actually written
  // and the first piece's count excludes a frame that opens the next piece.
  ++state.packetCount[streamNumber];

  stream.Put32(AviChunkId(streamNumber));
  stream.Put32(static_cast<uint32_t>(length));
  stream.PutBytes(data, static_cast<size_t>(length));
  if (length % 2 != 0) stream.PutByte(0);
  stream.Flush();
  if (stream.Error() < 0) {
    Fail(*writer);
    if (slotInUse) AviIndexAt(index, 0) = displaced;
    TakeBack(*writer, before);
    return -1;
  }
  writer->committed = Mark(*writer);
  return 0;
}

int AviFinish(AviWriter* writer) {
  if (writer == nullptr) return -1;
  const std::lock_guard guard(writer->lock);
  if (writer->phase != AviPhase::kWriting) return -1;
  if (!writer->failed) {
    AviCloseFile(*writer);
    if (writer->stream.Error() < 0) Fail(*writer);
  }
  if (writer->failed) FinishAfterFailure(*writer);
  writer->phase = AviPhase::kFinished;
  return Report(*writer);
}

int AviWriteErrno(const AviWriter* writer) { return writer != nullptr && writer->failed ? writer->failureErrno : 0; }

void AviClose(AviWriter* writer) { delete writer; }
