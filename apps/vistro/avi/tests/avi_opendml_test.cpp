// Recordings that pass the piece threshold: "AVIX" pieces, "ix00" standard
// indexes listed by the "indx" super index, and the "odml" list.
#include <cstring>

#include <gtest/gtest.h>

#include "avi/avi_writer.h"
#include "avi_state.h"
#include "avi_test_support.h"

namespace {

constexpr uint64_t kFirstMovi = 5636;
constexpr uint64_t kSuperIndex = 212;

struct Piece {
  uint64_t riff;  // offset of "RIFF"
  uint64_t movi;  // offset of the "movi" FourCC
  uint64_t end;
};

std::vector<Piece> Pieces(const Bytes& file) {
  std::vector<Piece> pieces;
  for (uint64_t at = 0; at + 12 <= file.size();) {
    if (FourCC(file, at) != "RIFF") break;
    const uint64_t end = at + 8 + Le32(file, at + 4);
    pieces.push_back(Piece{at, pieces.empty() ? kFirstMovi : at + 20, end});
    at = end;
  }
  return pieces;
}

struct Frame {
  Bytes data;
  bool key;
};

// Writes frames through a writer whose pieces are cut past threshold bytes.
void WriteWithThreshold(const char* path, int64_t threshold, const std::vector<Frame>& frames) {
  AviWriter* writer = AviOpen(path);
  ASSERT_NE(writer, nullptr);
  writer->state.pieceThreshold = threshold;
  ASSERT_EQ(AviAddVideoStream(writer, kAviCodecMjpeg, 640, 480, 25, 512000), 0);
  ASSERT_EQ(AviWriteHeader(writer), 0);
  for (const Frame& frame : frames) {
    ASSERT_EQ(AviWriteFrame(writer, 0, frame.key, frame.data.data(), static_cast<int32_t>(frame.data.size())), 0);
  }
  ASSERT_EQ(AviFinish(writer), 0);
  AviClose(writer);
}

class AviOpenDml : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n = 0; n < 70; ++n)
      frames_.push_back(Frame{PatternFrame(n, 3000 + 17 * static_cast<size_t>(n)), n % 5 == 0});
    WriteWithThreshold(path_.c_str(), 32 * 1024, frames_);
    file_ = ReadFileBytes(path_.path());
    pieces_ = Pieces(file_);
  }

  TempPath path_{"opendml.avi"};
  std::vector<Frame> frames_;
  Bytes file_;
  std::vector<Piece> pieces_;
};

TEST_F(AviOpenDml, FileIsOneAviPieceThenAvixPiecesBackToBack) {
  ASSERT_GE(pieces_.size(), 4u);
  EXPECT_EQ(FourCC(file_, 8), "AVI ");
  for (size_t k = 1; k < pieces_.size(); ++k) {
    EXPECT_EQ(pieces_[k].riff, pieces_[k - 1].end);
    EXPECT_EQ(FourCC(file_, pieces_[k].riff + 8), "AVIX");
    EXPECT_EQ(FourCC(file_, pieces_[k].riff + 12), "LIST");
    EXPECT_EQ(FourCC(file_, pieces_[k].movi), "movi");
    EXPECT_EQ(pieces_[k].movi + Le32(file_, pieces_[k].movi - 4), pieces_[k].end) << "movi fills the piece";
  }
  EXPECT_EQ(pieces_.back().end, file_.size());
  const uint64_t idx1 = kFirstMovi + Le32(file_, kFirstMovi - 4);
  EXPECT_EQ(FourCC(file_, idx1), "idx1");
  EXPECT_EQ(idx1 + 8 + Le32(file_, idx1 + 4), pieces_[0].end);
}

TEST_F(AviOpenDml, SuperIndexListsEachStandardIndexInOrderAndTheyCoverEveryFrame) {
  ASSERT_EQ(FourCC(file_, kSuperIndex), "indx");
  EXPECT_EQ(Le32(file_, kSuperIndex + 4), 4116u);
  EXPECT_EQ(Le16(file_, kSuperIndex + 8), 4);
  EXPECT_EQ(file_[kSuperIndex + 11], 0) << "index of indexes";
  ASSERT_EQ(Le32(file_, kSuperIndex + 12), pieces_.size());
  EXPECT_EQ(FourCC(file_, kSuperIndex + 16), "00dc");

  size_t n = 0;
  for (size_t k = 0; k < pieces_.size(); ++k) {
    const uint64_t entry = kSuperIndex + 8 + 24 + 16 * k;
    const uint64_t ix = Le64(file_, entry);
    ASSERT_EQ(FourCC(file_, ix), "ix00") << "piece " << k;
    EXPECT_GT(ix, pieces_[k].movi);
    EXPECT_LT(ix, pieces_[k].movi + Le32(file_, pieces_[k].movi - 4)) << "inside the piece's movi list";
    EXPECT_EQ(Le32(file_, entry + 8), 8 + Le32(file_, ix + 4));
    const uint32_t count = Le32(file_, ix + 12);
    EXPECT_EQ(Le32(file_, entry + 12), count) << "duration in chunks";
    EXPECT_EQ(Le32(file_, ix + 4), 24 + 8 * count);
    EXPECT_EQ(Le16(file_, ix + 8), 2);
    EXPECT_EQ(file_[ix + 11], 1) << "index of chunks";
    EXPECT_EQ(FourCC(file_, ix + 16), "00dc");
    const uint64_t base = Le64(file_, ix + 20);
    EXPECT_EQ(base, pieces_[k].movi);
    for (uint32_t e = 0; e < count; ++e, ++n) {
      ASSERT_LT(n, frames_.size());
      const uint64_t data = base + Le32(file_, ix + 32 + 8 * e);
      const uint32_t size = Le32(file_, ix + 32 + 8 * e + 4);
      EXPECT_EQ(size & 0x7FFFFFFFu, frames_[n].data.size());
      EXPECT_EQ((size & 0x80000000u) == 0, frames_[n].key) << "frame " << n;
      EXPECT_EQ(FourCC(file_, data - 8), "00dc");
      EXPECT_EQ(std::memcmp(file_.data() + data, frames_[n].data.data(), frames_[n].data.size()), 0) << "frame " << n;
    }
  }
  EXPECT_EQ(n, frames_.size());
}

TEST_F(AviOpenDml, OdmlCountsAllFramesAndAvihOnlyTheFirstPiece) {
  EXPECT_EQ(FourCC(file_, 4336), "LIST");
  EXPECT_EQ(Le32(file_, 4340), 260u);
  EXPECT_EQ(FourCC(file_, 4344), "odml");
  EXPECT_EQ(FourCC(file_, 4348), "dmlh");
  EXPECT_EQ(Le32(file_, 4356), frames_.size());
  EXPECT_EQ(Le32(file_, 140), frames_.size()) << "strh length";

  const uint64_t idx1 = kFirstMovi + Le32(file_, kFirstMovi - 4);
  const uint32_t firstPieceFrames = Le32(file_, idx1 + 4) / 16;
  const uint64_t firstIx = Le64(file_, kSuperIndex + 8 + 24);
  EXPECT_EQ(Le32(file_, firstIx + 12), firstPieceFrames);
  EXPECT_EQ(Le32(file_, 48), firstPieceFrames) << "avih counts the frames of the first piece, not one more";
  EXPECT_LT(firstPieceFrames, frames_.size());
}

TEST_F(AviOpenDml, LibavformatReadsEveryFrameAcrossPieces) {
  ReadBackInfo info;
  const std::vector<Bytes> packets = ReadBackPackets(path_.c_str(), info);
  EXPECT_EQ(info.codecName, "mjpeg");
  EXPECT_EQ(info.declaredFrames, static_cast<int64_t>(frames_.size()));
  ASSERT_EQ(packets.size(), frames_.size());
  for (size_t n = 0; n < frames_.size(); ++n) EXPECT_EQ(packets[n], frames_[n].data) << "frame " << n;
}

// A real recording past 1 GiB: the threshold the recorder uses, large frames so
// that it stays quick. Needs about 1.1 GB of free disk.
TEST(AviOpenDmlLarge, RecordingPastOneGibibyteReadsBack) {
  TempPath path("large.avi");
  constexpr size_t kFrameSize = 256 * 1024 + 1;
  constexpr int kFrames = 4100;  // ~1.0 GiB + a few frames in a second piece
  const uint64_t needed = uint64_t{kFrameSize} * kFrames + (64u << 20);
  const auto space = std::filesystem::space(path.path().parent_path());
  if (space.available < needed) {
    GTEST_SKIP() << "needs " << needed / 1000000 << " MB free in " << path.path().parent_path() << ", has "
                 << space.available / 1000000 << " MB";
  }
  // Every frame is one payload with its number in the first bytes.
  Bytes frame = PatternFrame(0, kFrameSize);
  auto stamp = [&frame](int n) { std::memcpy(frame.data(), &n, sizeof n); };

  AviWriter* writer = AviOpen(path.c_str());
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(AviAddVideoStream(writer, kAviCodecMjpeg, 640, 480, 25, 512000), 0);
  ASSERT_EQ(AviWriteHeader(writer), 0);
  for (int n = 0; n < kFrames; ++n) {
    stamp(n);
    ASSERT_EQ(AviWriteFrame(writer, 0, true, frame.data(), static_cast<int32_t>(frame.size())), 0) << "frame " << n;
  }
  ASSERT_EQ(AviFinish(writer), 0);
  AviClose(writer);
  EXPECT_GT(std::filesystem::file_size(path.path()), uint64_t{1} << 30);

  const Bytes header = ReadFileRange(path.path(), 0, 8192);
  ASSERT_EQ(FourCC(header, kSuperIndex), "indx");
  ASSERT_EQ(Le32(header, kSuperIndex + 12), 2u) << "two pieces";
  const uint64_t secondIx = Le64(header, kSuperIndex + 8 + 24 + 16);
  EXPECT_EQ(FourCC(ReadFileRange(path.path(), secondIx, 4), 0), "ix00");
  EXPECT_EQ(Le32(header, 4356), static_cast<uint32_t>(kFrames));
  const uint32_t firstPieceFrames = Le32(header, 48);
  EXPECT_EQ(Le32(header, kSuperIndex + 8 + 24 + 12), firstPieceFrames);
  EXPECT_LT(firstPieceFrames, static_cast<uint32_t>(kFrames));
  const uint64_t avix = 8 + uint64_t{Le32(header, 4)};
  EXPECT_EQ(FourCC(ReadFileRange(path.path(), avix, 12), 8), "AVIX");

  ReadBackInfo info;
  ASSERT_TRUE(ReadBack(path.c_str(), info, [&](int n, const uint8_t* bytes, int size, bool) {
    ASSERT_EQ(static_cast<size_t>(size), kFrameSize) << "frame " << n;
    stamp(n);
    ASSERT_EQ(std::memcmp(bytes, frame.data(), kFrameSize), 0) << "frame " << n;
  }));
  EXPECT_EQ(info.packets, kFrames);
  EXPECT_EQ(info.declaredFrames, kFrames);
}

}  // namespace
