// Inside of AviWriter: the declared streams, the file positions to patch, the
// counters and the per-stream indexes, shared by the steps that lay out a file.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>

#include "avi_index.h"
#include "byte_stream.h"

inline constexpr int kAviMaxStreams = 20;
inline constexpr int kAviBufferSize = 32768;
// A RIFF piece is closed before the first chunk that would start beyond this.
inline constexpr int64_t kAviPieceThreshold = 0x40000000;
// The super-index placeholder has room for this many pieces.
inline constexpr int32_t kAviMaxIndexedPieces = 255;
// avih dwFlags: has an index, interleaved, trust the chunk types.
inline constexpr uint32_t kAviMainHeaderFlags = 0x910;
inline constexpr uint32_t kAviHasIndexFlag = 0x10;

struct AviStream {
  int32_t width = 0;
  int32_t height = 0;
  int32_t codecNumber = 0;
  uint32_t fourcc = 0;
  int32_t bitRate = 0;
  int32_t timeBaseNumerator = 1;
  int32_t timeBaseDenominator = 1;
};

struct AviState {
  int64_t riffStart = 0;                                 // data start of the current "RIFF" chunk
  int64_t moviList = 0;                                  // position of the current "movi" FourCC
  int64_t odmlList = 0;                                  // data start of the "odml" placeholder
  int64_t totalFramesPosition = 0;                       // avih dwTotalFrames
  std::array<int64_t, kAviMaxStreams> lengthPosition{};  // strh dwLength
  int32_t riffCount = 0;
  std::array<int32_t, kAviMaxStreams> packetCount{};  // chunks over the whole file
  std::array<AviStreamIndex, kAviMaxStreams> index;
  // Lowered by tests so that pieces are cut after a few frames.
  int64_t pieceThreshold = kAviPieceThreshold;
  // Replaced by tests to run out of index memory on demand.
  AviClusterAllocator allocateCluster = AviAllocateIndexCluster;
};

enum class AviPhase { kDeclaring, kWriting, kFinished };

// The part of the state that a frame changes, taken before it is written so that
// a frame that does not reach the file whole can be taken back.
struct AviFrameMark {
  int64_t end = 0;  // where the file ended before the frame
  int64_t riffStart = 0;
  int64_t moviList = 0;
  int32_t riffCount = 0;
  std::array<int32_t, kAviMaxStreams> packetCount{};
  std::array<int32_t, kAviMaxStreams> entryCount{};
};

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

struct AviWriter {
  explicit AviWriter(FILE* openFile);

  std::unique_ptr<FILE, FileCloser> file;
  std::array<uint8_t, kAviBufferSize> buffer{};
  ByteStream stream;
  AviState state;
  std::mutex lock;
  AviPhase phase = AviPhase::kDeclaring;
  // Set by the first write that did not reach the file: no frame is taken after it,
  // and the file is finished as it stood after the last whole frame (`committed`).
  bool failed = false;
  int failureErrno = 0;
  AviFrameMark committed;
  int32_t streamCount = 0;
  std::array<std::unique_ptr<AviStream>, kAviMaxStreams> streams;
};

// Steps of the file layout, called with the writer's lock held.

// Starts a "RIFF" formType piece holding a "LIST" listType; returns the list's
// data start.
int64_t AviStartPiece(AviWriter& writer, const char* formType, const char* listType);
// Everything from the first "RIFF" up to and including the first "movi" FourCC.
void AviLayOutHeader(AviWriter& writer);
// Closes the current piece and starts an "AVIX" piece.
void AviCutPiece(AviWriter& writer);
// Closes the last piece and completes the indexes, the counters and "odml".
void AviCloseFile(AviWriter& writer);
// The same without the indexes that follow the frames ("ix00", "idx1"), for a disk
// that has no room for them: only sizes and counters, patched in place. The header
// then no longer claims an index.
void AviCloseFileWithoutIndex(AviWriter& writer);
