// Recordings that cannot be completed must say so: a full disk, a file that
// cannot seek, index memory running out.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "avi/avi_writer.h"
#include "avi_state.h"
#include "avi_test_support.h"
#include "testing/file_size_limit.h"

namespace {

AviWriter* OpenWithStream(const char* path) {
  AviWriter* writer = AviOpen(path);
  if (writer != nullptr && AviAddVideoStream(writer, kAviCodecMjpeg, 320, 240, 25, 512000) != 0) {
    AviClose(writer);
    return nullptr;
  }
  return writer;
}

TEST(AviFailure, DiskFullFromTheStartIsReportedByEveryCall) {
  AviWriter* writer = OpenWithStream("/dev/full");
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(AviWriteHeader(writer), -1);
  const Bytes frame = PatternFrame(0, 5000);
  for (int n = 0; n < 3; ++n) EXPECT_EQ(AviWriteFrame(writer, 0, true, frame.data(), 5000), -1);
  EXPECT_EQ(AviFinish(writer), -1);
  AviClose(writer);
}

TEST(AviFailure, DiskFullingUpMidRecordingLatchesAndIsReported) {
  TempPath path("full.avi");
  AviWriter* writer = OpenWithStream(path.c_str());
  ASSERT_NE(writer, nullptr);
  std::vector<int> results;
  {
    const FileSizeLimit limit(100000);
    ASSERT_EQ(AviWriteHeader(writer), 0);
    for (int n = 0; n < 30; ++n) {
      const Bytes frame = PatternFrame(n, 9000);
      results.push_back(AviWriteFrame(writer, 0, true, frame.data(), 9000));
    }
    EXPECT_EQ(AviFinish(writer), -1);
  }
  AviClose(writer);

  ASSERT_EQ(results.front(), 0);
  const auto firstFailure = std::find(results.begin(), results.end(), -1);
  ASSERT_NE(firstFailure, results.end()) << "the limit was never reached";
  EXPECT_TRUE(std::all_of(firstFailure, results.end(), [](int r) { return r == -1; }))
      << "once the disk is full every later frame fails";
  EXPECT_LE(std::filesystem::file_size(path.path()), 100000u);
}

struct FullDiskCase {
  const char* name;
  rlim_t limit;            // the file may not grow past this
  int64_t pieceThreshold;  // pieces are cut past this many bytes
  bool indexFits;          // after the last whole frame there is room for "idx1"
};

void PrintTo(const FullDiskCase& c, std::ostream* out) { *out << c.name; }

constexpr size_t kFrameBytes = 9000;  // a chunk of 9008 bytes
constexpr rlim_t kHeaderBytes = 5640;

class AviFullDisk : public ::testing::TestWithParam<FullDiskCase> {};

// The disk fills up in the middle of a frame: the file is finished with exactly the
// frames written whole before, as libavformat reads it back, and its sizes and
// counters say so.
TEST_P(AviFullDisk, FinishedFileHoldsExactlyTheFramesWrittenWhole) {
  const FullDiskCase& c = GetParam();
  TempPath path(std::string("full-") + c.name + ".avi");
  AviWriter* writer = OpenWithStream(path.c_str());
  ASSERT_NE(writer, nullptr);
  writer->state.pieceThreshold = c.pieceThreshold;
  std::vector<Bytes> written;
  int finished = 0;
  {
    const FileSizeLimit limit(c.limit);
    ASSERT_EQ(AviWriteHeader(writer), 0);
    for (int n = 0; n < 40; ++n) {
      Bytes frame = PatternFrame(n, kFrameBytes);
      if (AviWriteFrame(writer, 0, true, frame.data(), kFrameBytes) == 0) written.push_back(std::move(frame));
    }
    finished = AviFinish(writer);
  }
  EXPECT_EQ(AviWriteErrno(writer), EFBIG);
  AviClose(writer);
  EXPECT_EQ(finished, -1) << "the recording did not reach the file whole";
  ASSERT_LT(written.size(), 40u) << "the limit was never reached";

  const Bytes file = ReadFileBytes(path.path());
  const uint32_t frames = static_cast<uint32_t>(written.size());
  EXPECT_EQ(Le32(file, 140), frames) << "strh dwLength";
  ReadBackInfo info;
  EXPECT_EQ(ReadBackPackets(path.c_str(), info), written);
  if (c.pieceThreshold > static_cast<int64_t>(c.limit)) {
    EXPECT_EQ(Le32(file, 4), file.size() - 8) << "RIFF size";
    EXPECT_EQ(Le32(file, 48), frames) << "avih dwTotalFrames";
    const uint64_t moviEnd = 5636 + Le32(file, 5632);
    EXPECT_EQ(moviEnd, kHeaderBytes + frames * (kFrameBytes + 8)) << "movi holds the whole frames only";
    EXPECT_EQ((Le32(file, 44) & 0x10) != 0, c.indexFits) << "avih says whether there is an index";
    if (c.indexFits) {
      EXPECT_EQ(FourCC(file, moviEnd), "idx1");
      EXPECT_EQ(Le32(file, moviEnd + 4), frames * 16);
    } else {
      EXPECT_EQ(file.size(), moviEnd);
    }
  } else {
    EXPECT_EQ(Le32(file, 4356), frames) << "dmlh counts every frame";
  }
}

constexpr rlim_t kThreeFrames = kHeaderBytes + 3 * (kFrameBytes + 8);

INSTANTIATE_TEST_SUITE_P(
    Limits, AviFullDisk,
    ::testing::Values(FullDiskCase{"RoomForTheIndex", kThreeFrames + 100, kAviPieceThreshold, true},
                      FullDiskCase{"NoRoomForTheIndex", kThreeFrames + 20, kAviPieceThreshold, false},
                      FullDiskCase{"FullAtTheFirstFrame", kHeaderBytes + 50, kAviPieceThreshold, true},
                      FullDiskCase{"OpenDmlMidPiece", 70000, 20000, false},
                      FullDiskCase{"OpenDmlAtACut", 45100, 20000, false}),
    [](const ::testing::TestParamInfo<FullDiskCase>& c) { return std::string(c.param.name); });

// Wherever in an OpenDML recording the disk fills up, piece cuts included, the file
// reads back with the frames written whole.
TEST(AviFailure, OpenDmlRecordingReadsBackWhereverTheDiskFillsUp) {
  for (rlim_t limit = 20000; limit < 80000; limit += 1777) {
    SCOPED_TRACE(limit);
    TempPath path("sweep.avi");
    AviWriter* writer = OpenWithStream(path.c_str());
    ASSERT_NE(writer, nullptr);
    writer->state.pieceThreshold = 15000;
    std::vector<Bytes> written;
    {
      const FileSizeLimit fileLimit(limit);
      ASSERT_EQ(AviWriteHeader(writer), 0);
      for (int n = 0; n < 12; ++n) {
        Bytes frame = PatternFrame(n, 4001);
        if (AviWriteFrame(writer, 0, n % 3 == 0, frame.data(), 4001) == 0) written.push_back(std::move(frame));
      }
      AviFinish(writer);
    }
    AviClose(writer);
    ReadBackInfo info;
    EXPECT_EQ(ReadBackPackets(path.c_str(), info), written);
    EXPECT_EQ(Le32(ReadFileBytes(path.path()), 140), written.size());
  }
}

TEST(AviFailure, FileThatCannotSeekFailsTheFinish) {
  TempPath path("fifo.avi");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  // Opened for reading and writing, a FIFO neither blocks nor needs a reader
  // while the recording fits in the pipe's buffer.
  AviWriter* writer = OpenWithStream(path.c_str());
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(AviWriteHeader(writer), 0);
  EXPECT_EQ(AviWriteFrame(writer, 0, true, "frame", 5), 0);
  EXPECT_EQ(AviFinish(writer), -1) << "the sizes could not be patched";
  AviClose(writer);
}

TEST(AviFailure, EachFrameIsInTheFileWhenItsWriteReturns) {
  // A crash or power loss mid-recording keeps every frame already written.
  TempPath path("handed-over.avi");
  AviWriter* writer = OpenWithStream(path.c_str());
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(AviWriteHeader(writer), 0);
  uintmax_t expected = 5640;
  EXPECT_EQ(std::filesystem::file_size(path.path()), expected);
  for (int n = 0; n < 5; ++n) {
    const Bytes frame = PatternFrame(n, 30001 + static_cast<size_t>(n) * 5000);
    ASSERT_EQ(AviWriteFrame(writer, 0, true, frame.data(), static_cast<int32_t>(frame.size())), 0);
    expected += 8 + frame.size() + frame.size() % 2;
    EXPECT_EQ(std::filesystem::file_size(path.path()), expected) << "frame " << n;
  }
  AviClose(writer);
}

AviIndexEntry* NoMemory() { return nullptr; }

TEST(AviFailure, OutOfIndexMemoryRefusesTheFrameAndKeepsTheFileConsistent) {
  TempPath path("nomem.avi");
  AviWriter* writer = OpenWithStream(path.c_str());
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(AviWriteHeader(writer), 0);
  const std::vector<Bytes> frames = {PatternFrame(0, 700), PatternFrame(1, 800)};
  writer->state.allocateCluster = NoMemory;
  EXPECT_EQ(AviWriteFrame(writer, 0, true, frames[0].data(), 700), -1);
  EXPECT_EQ(std::filesystem::file_size(path.path()), 5640u) << "nothing of the refused frame was written";
  writer->state.allocateCluster = AviAllocateIndexCluster;
  for (const Bytes& frame : frames) {
    ASSERT_EQ(AviWriteFrame(writer, 0, true, frame.data(), static_cast<int32_t>(frame.size())), 0);
  }
  ASSERT_EQ(AviFinish(writer), 0);
  AviClose(writer);

  const Bytes file = ReadFileBytes(path.path());
  EXPECT_EQ(Le32(file, 48), 2u) << "total frames counts the written frames only";
  EXPECT_EQ(Le32(file, 140), 2u);
  ReadBackInfo info;
  EXPECT_EQ(ReadBackPackets(path.c_str(), info), frames);
}

}  // namespace
