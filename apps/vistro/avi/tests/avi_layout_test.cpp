// Byte layout of plain (single-piece) recordings: header fields at their fixed
// offsets, frame chunks, "idx1", padding, and what the writer refuses.
#include <gtest/gtest.h>

#include "avi/avi_writer.h"
#include "avi_test_support.h"
#include "codec_tag_table.h"

namespace {

constexpr uint64_t kMovi = 5636;  // the "movi" FourCC of a one-stream file
constexpr uint64_t kFirstChunk = 5640;

uint64_t Idx1Offset(const Bytes& file) { return kMovi + Le32(file, kMovi - 4); }

TEST(AviLayout, OneStreamHeaderHasEveryFieldAtItsOffset) {
  TempPath path("header.avi");
  const std::vector<Bytes> frames = {PatternFrame(0, 100), PatternFrame(1, 200), PatternFrame(2, 50)};
  ASSERT_EQ(WriteRecording(path.c_str(), 640, 480, frames), 0);
  const Bytes file = ReadFileBytes(path.path());

  EXPECT_EQ(FourCC(file, 0), "RIFF");
  EXPECT_EQ(Le32(file, 4), file.size() - 8);
  EXPECT_EQ(FourCC(file, 8), "AVI ");

  EXPECT_EQ(FourCC(file, 12), "LIST");
  EXPECT_EQ(Le32(file, 16), 4584u);
  EXPECT_EQ(FourCC(file, 20), "hdrl");

  EXPECT_EQ(FourCC(file, 24), "avih");
  EXPECT_EQ(Le32(file, 28), 56u);
  EXPECT_EQ(Le32(file, 32), 40000u);     // microseconds per frame
  EXPECT_EQ(Le32(file, 36), 64000u);     // max bytes per second
  EXPECT_EQ(Le32(file, 40), 0u);         // padding granularity
  EXPECT_EQ(Le32(file, 44), 0x910u);     // has index, interleaved, trust chunk type
  EXPECT_EQ(Le32(file, 48), 3u);         // total frames
  EXPECT_EQ(Le32(file, 52), 0u);         // initial frames
  EXPECT_EQ(Le32(file, 56), 1u);         // streams
  EXPECT_EQ(Le32(file, 60), 0x100000u);  // suggested buffer size
  EXPECT_EQ(Le32(file, 64), 640u);
  EXPECT_EQ(Le32(file, 68), 480u);
  for (uint64_t reserved = 72; reserved < 88; reserved += 4) EXPECT_EQ(Le32(file, reserved), 0u);

  EXPECT_EQ(FourCC(file, 88), "LIST");
  EXPECT_EQ(Le32(file, 92), 4240u);
  EXPECT_EQ(FourCC(file, 96), "strl");

  EXPECT_EQ(FourCC(file, 100), "strh");
  EXPECT_EQ(Le32(file, 104), 56u);
  EXPECT_EQ(FourCC(file, 108), "vids");
  EXPECT_EQ(FourCC(file, 112), "MJPG");
  EXPECT_EQ(Le32(file, 116), 0u);
  EXPECT_EQ(Le32(file, 120), 0u);  // priority, language
  EXPECT_EQ(Le32(file, 124), 0u);
  EXPECT_EQ(Le32(file, 128), 1u);   // scale
  EXPECT_EQ(Le32(file, 132), 25u);  // rate
  EXPECT_EQ(Le32(file, 136), 0u);
  EXPECT_EQ(Le32(file, 140), 3u);  // length
  EXPECT_EQ(Le32(file, 144), 0x100000u);
  EXPECT_EQ(Le32(file, 148), 0xFFFFFFFFu);
  EXPECT_EQ(Le32(file, 152), 0u);
  EXPECT_EQ(Le32(file, 156), 0u);
  EXPECT_EQ(Le16(file, 160), 640);
  EXPECT_EQ(Le16(file, 162), 480);

  EXPECT_EQ(FourCC(file, 164), "strf");
  EXPECT_EQ(Le32(file, 168), 40u);
  EXPECT_EQ(Le32(file, 172), 40u);
  EXPECT_EQ(Le32(file, 176), 640u);
  EXPECT_EQ(Le32(file, 180), 480u);
  EXPECT_EQ(Le16(file, 184), 1);
  EXPECT_EQ(Le16(file, 186), 24);
  EXPECT_EQ(FourCC(file, 188), "MJPG");
  EXPECT_EQ(Le32(file, 192), 640u * 480 * 3);

  EXPECT_EQ(FourCC(file, 212), "JUNK");  // super-index placeholder of a plain file
  EXPECT_EQ(Le32(file, 216), 4116u);
  EXPECT_EQ(Le16(file, 220), 4);
  EXPECT_EQ(file[222], 0);
  EXPECT_EQ(file[223], 0);
  EXPECT_EQ(Le32(file, 224), 0u);
  EXPECT_EQ(FourCC(file, 228), "00dc");

  EXPECT_EQ(FourCC(file, 4336), "JUNK");  // "odml" placeholder of a plain file
  EXPECT_EQ(Le32(file, 4340), 260u);
  EXPECT_EQ(FourCC(file, 4344), "odml");
  EXPECT_EQ(FourCC(file, 4348), "dmlh");
  EXPECT_EQ(Le32(file, 4352), 248u);
  EXPECT_EQ(Le32(file, 4356), 0u);

  EXPECT_EQ(FourCC(file, 4604), "JUNK");
  EXPECT_EQ(Le32(file, 4608), 1016u);
  EXPECT_EQ(FourCC(file, 5628), "LIST");
  EXPECT_EQ(FourCC(file, kMovi), "movi");
  EXPECT_EQ(FourCC(file, kFirstChunk), "00dc");
  EXPECT_EQ(Le32(file, kFirstChunk + 4), 100u);

  const uint64_t idx1 = Idx1Offset(file);
  EXPECT_EQ(FourCC(file, idx1), "idx1");
  EXPECT_EQ(Le32(file, idx1 + 4), 3u * 16);
  EXPECT_EQ(idx1 + 8 + 3 * 16, file.size()) << "idx1 closes the file";
}

TEST(AviLayout, Idx1EntriesPointAtTheirChunks) {
  TempPath path("idx1.avi");
  AviWriter* writer = AviOpen(path.c_str());
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(AviAddVideoStream(writer, kAviCodecMjpeg, 320, 240, 25, 512000), 0);
  ASSERT_EQ(AviWriteHeader(writer), 0);
  std::vector<Bytes> frames;
  for (int n = 0; n < 40; ++n) {
    frames.push_back(PatternFrame(n, static_cast<size_t>(50 + n * 37)));
    ASSERT_EQ(AviWriteFrame(writer, 0, n % 3 == 0, frames[n].data(), static_cast<int32_t>(frames[n].size())), 0);
  }
  ASSERT_EQ(AviFinish(writer), 0);
  AviClose(writer);

  const Bytes file = ReadFileBytes(path.path());
  const uint64_t idx1 = Idx1Offset(file);
  ASSERT_EQ(FourCC(file, idx1), "idx1");
  ASSERT_EQ(Le32(file, idx1 + 4), frames.size() * 16);
  uint64_t expectedChunk = kFirstChunk;
  for (size_t n = 0; n < frames.size(); ++n) {
    const uint64_t entry = idx1 + 8 + n * 16;
    EXPECT_EQ(FourCC(file, entry), "00dc");
    EXPECT_EQ(Le32(file, entry + 4), n % 3 == 0 ? 0x10u : 0u);
    const uint64_t chunk = kMovi + Le32(file, entry + 8);
    EXPECT_EQ(chunk, expectedChunk);
    EXPECT_EQ(Le32(file, entry + 12), frames[n].size());
    EXPECT_EQ(FourCC(file, chunk), "00dc");
    EXPECT_EQ(Le32(file, chunk + 4), frames[n].size());
    ASSERT_LE(chunk + 8 + frames[n].size(), file.size());
    EXPECT_TRUE(std::equal(frames[n].begin(), frames[n].end(), file.begin() + static_cast<std::ptrdiff_t>(chunk + 8)))
        << "frame " << n;
    expectedChunk = chunk + 8 + frames[n].size() + frames[n].size() % 2;
  }
  EXPECT_EQ(expectedChunk, idx1) << "the movi list holds exactly the frame chunks";
}

TEST(AviLayout, OddFramesArePaddedAndKeepTheirOddSize) {
  TempPath path("odd.avi");
  const std::vector<Bytes> frames = {PatternFrame(0, 1), PatternFrame(1, 3), PatternFrame(2, 4), PatternFrame(3, 7)};
  ASSERT_EQ(WriteRecording(path.c_str(), 64, 48, frames), 0);
  const Bytes file = ReadFileBytes(path.path());
  uint64_t chunk = kFirstChunk;
  for (size_t n = 0; n < frames.size(); ++n) {
    ASSERT_EQ(FourCC(file, chunk), "00dc");
    EXPECT_EQ(Le32(file, chunk + 4), frames[n].size());
    EXPECT_EQ(chunk % 2, 0u) << "chunks start on even offsets";
    const uint64_t end = chunk + 8 + frames[n].size();
    if (frames[n].size() % 2 != 0) {
      EXPECT_EQ(file[end], 0) << "pad byte of frame " << n;
    }
    chunk = end + frames[n].size() % 2;
  }
  const uint64_t idx1 = Idx1Offset(file);
  EXPECT_EQ(chunk, idx1);
  EXPECT_EQ(Le32(file, idx1 + 8 + 12), 1u);
  EXPECT_EQ(Le32(file, idx1 + 8 + 16 + 12), 3u);
  EXPECT_EQ(Le32(file, 4), file.size() - 8);
}

TEST(AviLayout, ZeroFramesGiveAFullHeaderAnEmptyMoviAndAnEmptyIdx1) {
  TempPath path("empty.avi");
  ASSERT_EQ(WriteRecording(path.c_str(), 640, 480, {}), 0);
  const Bytes file = ReadFileBytes(path.path());
  ASSERT_EQ(file.size(), kFirstChunk + 8);
  EXPECT_EQ(Le32(file, 4), file.size() - 8);
  EXPECT_EQ(Le32(file, kMovi - 4), 4u);  // just "movi"
  EXPECT_EQ(FourCC(file, kFirstChunk), "idx1");
  EXPECT_EQ(Le32(file, kFirstChunk + 4), 0u);
  EXPECT_EQ(Le32(file, 48), 0u);
  EXPECT_EQ(Le32(file, 140), 0u);
}

TEST(AviLayout, StreamsGetTheirOwnChunkIdsAndIdx1FollowsFileOrder) {
  TempPath path("streams.avi");
  AviWriter* writer = AviOpen(path.c_str());
  ASSERT_NE(writer, nullptr);
  for (int i = 0; i < 12; ++i) ASSERT_EQ(AviAddVideoStream(writer, kAviCodecMjpeg, 160 + i, 120, 25, 8000), i);
  ASSERT_EQ(AviWriteHeader(writer), 0);
  const int order[] = {0, 11, 0, 3, 11, 0};
  for (int stream : order) ASSERT_EQ(AviWriteFrame(writer, stream, true, "frame", 5), 0);
  ASSERT_EQ(AviFinish(writer), 0);
  AviClose(writer);

  const Bytes file = ReadFileBytes(path.path());
  EXPECT_EQ(Le32(file, 56), 12u);
  EXPECT_EQ(Le32(file, 36), 12u * 8000 / 8);
  EXPECT_EQ(Le32(file, 48), 3u) << "total frames is the largest stream's count";
  EXPECT_EQ(Le32(file, 64), 171u) << "size of the last stream";
  const uint64_t junk = 20 + Le32(file, 16);  // after the "hdrl" list
  ASSERT_EQ(FourCC(file, junk), "JUNK");
  const uint64_t movi = junk + 8 + Le32(file, junk + 4) + 8;
  ASSERT_EQ(FourCC(file, movi), "movi");
  const uint64_t idx1 = movi + Le32(file, movi - 4);
  ASSERT_EQ(FourCC(file, idx1), "idx1");
  const char* expected[] = {"00dc", "11dc", "00dc", "03dc", "11dc", "00dc"};
  uint32_t previous = 0;
  for (int n = 0; n < 6; ++n) {
    EXPECT_EQ(FourCC(file, idx1 + 8 + n * 16), expected[n]);
    const uint32_t position = Le32(file, idx1 + 8 + n * 16 + 8);
    EXPECT_EQ(FourCC(file, movi + position), expected[n]);
    EXPECT_GT(position, previous);
    previous = position;
  }
}

TEST(AviLayout, RefusesWhatItCannotRecord) {
  TempPath path("refuse.avi");
  EXPECT_EQ(AviOpen(nullptr), nullptr);
  EXPECT_EQ(AviOpen("/nonexistent-folder/x.avi"), nullptr);
  EXPECT_EQ(AviAddVideoStream(nullptr, kAviCodecMjpeg, 640, 480, 25, 512000), -1);
  EXPECT_EQ(AviWriteHeader(nullptr), -1);
  EXPECT_EQ(AviWriteFrame(nullptr, 0, true, "x", 1), -1);
  EXPECT_EQ(AviFinish(nullptr), -1);
  AviClose(nullptr);

  AviWriter* writer = AviOpen(path.c_str());
  ASSERT_NE(writer, nullptr);
  for (int unknown : {0, -4, 16, 99}) EXPECT_EQ(AviAddVideoStream(writer, unknown, 640, 480, 25, 512000), -1);
  EXPECT_EQ(AviAddVideoStream(writer, kAviCodecMjpeg, 0, 480, 25, 512000), -1);
  EXPECT_EQ(AviAddVideoStream(writer, kAviCodecMjpeg, 640, 65536, 25, 512000), -1);
  EXPECT_EQ(AviAddVideoStream(writer, kAviCodecMjpeg, 640, 480, 0, 512000), -1);
  EXPECT_EQ(AviWriteFrame(writer, 0, true, "x", 1), -1) << "no header yet";
  for (int i = 0; i < 20; ++i) EXPECT_EQ(AviAddVideoStream(writer, 3, 640, 480, 25, 0), i);
  EXPECT_EQ(AviAddVideoStream(writer, 3, 640, 480, 25, 0), -1) << "all stream slots used";
  ASSERT_EQ(AviWriteHeader(writer), 0);
  EXPECT_EQ(AviWriteHeader(writer), -1);
  EXPECT_EQ(AviAddVideoStream(writer, kAviCodecMjpeg, 640, 480, 25, 512000), -1);
  EXPECT_EQ(AviWriteFrame(writer, 20, true, "x", 1), -1);
  EXPECT_EQ(AviWriteFrame(writer, -1, true, "x", 1), -1);
  EXPECT_EQ(AviWriteFrame(writer, 0, true, "x", -1), -1);
  EXPECT_EQ(AviWriteFrame(writer, 0, true, nullptr, 1), -1);
  EXPECT_EQ(AviWriteFrame(writer, 0, true, nullptr, 0), 0) << "an empty frame is a frame";
  ASSERT_EQ(AviFinish(writer), 0);
  EXPECT_EQ(AviWriteFrame(writer, 0, true, "x", 1), -1) << "finished";
  EXPECT_EQ(AviFinish(writer), -1);
  AviClose(writer);

  const Bytes file = ReadFileBytes(path.path());
  EXPECT_EQ(FourCC(file, 112), "H264");
  EXPECT_EQ(Le32(file, 140), 1u) << "only the accepted frame is counted";
}

TEST(CodecTagTable, FirstRowOfANumberNamesTheCodec) {
  EXPECT_EQ(CodecTagTableLookup(4), MakeFourCC("MJPG"));
  EXPECT_EQ(CodecTagTableLookup(3), MakeFourCC("H264"));
  EXPECT_EQ(CodecTagTableLookup(11), MakeFourCC("DIV3"));
  EXPECT_EQ(CodecTagTableLookup(15), MakeFourCC("WVC1"));
  EXPECT_EQ(CodecTagTableLookup(0), 0u);
  EXPECT_EQ(CodecTagTableLookup(16), 0u);
}

}  // namespace
