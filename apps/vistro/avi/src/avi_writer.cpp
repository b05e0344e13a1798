#include "avi/avi_writer.h"

#include <new>

#include "avi_chunks.h"
#include "avi_state.h"
#include "codec_tag_table.h"
#include "recording_file.h"

namespace {

constexpr int kMaxDimension = 65535;  // the stream header stores 16-bit sizes

int Report(const AviWriter& writer) { return writer.stream.Error() < 0 ? -1 : 0; }

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
  return Report(*writer);
}

int AviWriteFrame(AviWriter* writer, int streamNumber, bool keyFrame, const void* data, int32_t length) {
  if (writer == nullptr) return -1;
  const std::lock_guard guard(writer->lock);
  if (writer->phase != AviPhase::kWriting || streamNumber < 0 || streamNumber >= writer->streamCount || length < 0 ||
      (data == nullptr && length > 0)) {
    return -1;
  }
  AviState& state = writer->state;
  ByteStream& stream = writer->stream;
  if (stream.Tell() - state.riffStart > state.pieceThreshold) AviCutPiece(*writer);

  const AviIndexEntry entry{keyFrame ? kAviKeyFrameFlag : 0, static_cast<uint32_t>(stream.Tell() - state.moviList),
                            static_cast<uint32_t>(length)};
  if (!AviIndexAppend(state.index[streamNumber], entry, state.allocateCluster)) return -1;
  // Counted only now, so that the counters match the chunks actually written
  // and the first piece's count excludes a frame that opens the next piece.
  ++state.packetCount[streamNumber];

  stream.Put32(AviChunkId(streamNumber));
  stream.Put32(static_cast<uint32_t>(length));
  stream.PutBytes(data, static_cast<size_t>(length));
  if (length % 2 != 0) stream.PutByte(0);
  stream.Flush();
  return Report(*writer);
}

int AviFinish(AviWriter* writer) {
  if (writer == nullptr) return -1;
  const std::lock_guard guard(writer->lock);
  if (writer->phase != AviPhase::kWriting) return -1;
  AviCloseFile(*writer);
  writer->phase = AviPhase::kFinished;
  return Report(*writer);
}

void AviClose(AviWriter* writer) { delete writer; }
