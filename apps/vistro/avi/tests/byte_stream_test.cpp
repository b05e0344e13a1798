// The buffered output layer against an in-memory sink, and the file layer's
// 64-bit seeks on a sparse file.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>

#include "avi_test_support.h"
#include "byte_stream.h"
#include "recording_file.h"

namespace {

// A seekable sink in memory that counts the calls it gets.
struct MemorySink {
  Bytes bytes;
  size_t position = 0;
  int writes = 0;
  int seeks = 0;
  int failWritesFrom = -1;  // the write number (from 0) that starts failing

  ByteStreamSink Sink() { return ByteStreamSink{this, Write, Seek}; }

  static int Write(void* opaque, const uint8_t* data, int size) {
    auto* sink = static_cast<MemorySink*>(opaque);
    const int number = sink->writes++;
    if (sink->failWritesFrom >= 0 && number >= sink->failWritesFrom) return -1;
    if (sink->bytes.size() < sink->position + size) sink->bytes.resize(sink->position + size);
    std::memcpy(sink->bytes.data() + sink->position, data, static_cast<size_t>(size));
    sink->position += static_cast<size_t>(size);
    return size;
  }
  static int64_t Seek(void* opaque, int64_t position) {
    auto* sink = static_cast<MemorySink*>(opaque);
    ++sink->seeks;
    sink->position = static_cast<size_t>(position);
    return position;
  }
};

TEST(ByteStream, PutsLittleEndianValuesAcrossBufferBoundaries) {
  MemorySink sink;
  uint8_t buffer[16];
  ByteStream stream(buffer, sizeof buffer, sink.Sink());
  Bytes expected;
  for (int i = 0; i < 10; ++i) {
    stream.PutByte(0xA0);
    stream.Put16(0x0102);
    stream.Put32(0x03040506);
    stream.Put64(0x0708090A0B0C0D0Eull);
    stream.PutFourCC("movi");
    const uint8_t one[] = {0xA0, 0x02, 0x01, 0x06, 0x05, 0x04, 0x03, 0x0E, 0x0D, 0x0C,
                           0x0B, 0x0A, 0x09, 0x08, 0x07, 'm',  'o',  'v',  'i'};
    expected.insert(expected.end(), std::begin(one), std::end(one));
  }
  const Bytes big = PatternFrame(1, 100);
  stream.PutBytes(big.data(), big.size());
  expected.insert(expected.end(), big.begin(), big.end());
  EXPECT_EQ(stream.Tell(), static_cast<int64_t>(expected.size()));
  stream.Flush();
  EXPECT_EQ(sink.bytes, expected);
  EXPECT_EQ(stream.Error(), 0);
}

TEST(ByteStream, PatchInsideTheBufferCostsNoIo) {
  MemorySink sink;
  uint8_t buffer[64];
  ByteStream stream(buffer, sizeof buffer, sink.Sink());
  stream.PutFourCC("LIST");
  stream.Put32(0);
  stream.PutBytes("payload!", 8);
  const int64_t end = stream.Tell();
  EXPECT_EQ(stream.Seek(4), 4);
  stream.Put32(8);
  EXPECT_EQ(stream.Seek(end), end);
  EXPECT_EQ(sink.writes + sink.seeks, 0);
  stream.Flush();
  EXPECT_EQ(sink.writes, 1);
  EXPECT_EQ(sink.seeks, 0);
  EXPECT_EQ(FourCC(sink.bytes, 0), "LIST");
  EXPECT_EQ(Le32(sink.bytes, 4), 8u);
  EXPECT_EQ(sink.bytes.size(), 16u);
}

TEST(ByteStream, BytesBehindAPatchSurviveASeekOutOfTheBuffer) {
  MemorySink sink;
  uint8_t buffer[256];
  ByteStream stream(buffer, sizeof buffer, sink.Sink());
  const Bytes data = PatternFrame(2, 100);
  stream.PutBytes(data.data(), data.size());
  stream.Seek(10);
  stream.Put32(0xDEADBEEF);
  // Leaves with the write pointer behind the filled part: all 100 bytes must go out.
  EXPECT_EQ(stream.Seek(1000), 1000);
  stream.PutByte(0x55);
  stream.Flush();
  ASSERT_EQ(sink.bytes.size(), 1001u);
  EXPECT_EQ(Le32(sink.bytes, 10), 0xDEADBEEFu);
  EXPECT_TRUE(std::equal(data.begin() + 14, data.end(), sink.bytes.begin() + 14));
  EXPECT_EQ(sink.bytes[1000], 0x55);
}

TEST(ByteStream, SeeksOutsideTheBufferAndSkips) {
  MemorySink sink;
  uint8_t buffer[16];
  ByteStream stream(buffer, sizeof buffer, sink.Sink());
  stream.PutBytes(PatternFrame(3, 40).data(), 40);
  EXPECT_EQ(stream.Seek(2), 2);  // flushed already: needs the sink
  EXPECT_EQ(sink.seeks, 1);
  stream.PutFourCC("indx");
  EXPECT_EQ(stream.Skip(8), 14);
  stream.Put16(0x7777);
  EXPECT_EQ(stream.Skip(0), 16);
  EXPECT_EQ(stream.Seek(40), 40);
  stream.Flush();
  EXPECT_EQ(FourCC(sink.bytes, 2), "indx");
  EXPECT_EQ(Le16(sink.bytes, 14), 0x7777);
  EXPECT_EQ(sink.bytes.size(), 40u);
  EXPECT_EQ(stream.Seek(-1), -1);
}

TEST(ByteStream, FirstWriteErrorIsLatchedAndLaterOutputDiscarded) {
  MemorySink sink;
  sink.failWritesFrom = 1;
  uint8_t buffer[8];
  ByteStream stream(buffer, sizeof buffer, sink.Sink());
  stream.PutBytes(PatternFrame(4, 8).data(), 8);  // first write succeeds
  EXPECT_EQ(stream.Error(), 0);
  stream.PutBytes(PatternFrame(5, 8).data(), 8);  // second fails
  EXPECT_LT(stream.Error(), 0);
  stream.PutBytes(PatternFrame(6, 20).data(), 20);
  stream.Flush();
  EXPECT_EQ(sink.writes, 2) << "after the failure nothing more reaches the sink";
  EXPECT_EQ(sink.bytes.size(), 8u);
  EXPECT_EQ(stream.Tell(), 36) << "positions keep counting, so the layout stays consistent";
}

TEST(ByteStream, SeekFailureIsLatched) {
  uint8_t buffer[8];
  ByteStreamSink broken{nullptr, [](void*, const uint8_t*, int size) { return size; },
                        [](void*, int64_t) -> int64_t { return -29; }};
  ByteStream stream(buffer, sizeof buffer, broken);
  stream.PutBytes(PatternFrame(7, 20).data(), 20);
  EXPECT_EQ(stream.Seek(2), -29);
  EXPECT_EQ(stream.Tell(), 20) << "a failed seek leaves the position unchanged";
  EXPECT_EQ(stream.Error(), -29);
}

TEST(RecordingFile, SeeksPastFourGibibytesOnASparseFile) {
  TempPath path("sparse.bin");
  FILE* file = OpenRecordingFile(path.c_str());
  ASSERT_NE(file, nullptr);
  uint8_t buffer[64];
  ByteStream stream(buffer, sizeof buffer, RecordingFileSink(file));
  stream.PutFourCC("RIFF");
  const int64_t far = (int64_t{5} << 30) + 3;  // truncated to 32 bits this would land at 1 GiB + 3
  EXPECT_EQ(stream.Seek(far), far);
  stream.PutFourCC("tail");
  EXPECT_EQ(stream.Seek(0), 0);
  stream.PutFourCC("head");
  stream.Flush();
  EXPECT_EQ(stream.Error(), 0);
  std::fclose(file);

  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_size, far + 4);
  FILE* in = std::fopen(path.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  char text[5] = {};
  ASSERT_EQ(fseeko(in, far, SEEK_SET), 0);
  ASSERT_EQ(std::fread(text, 1, 4, in), 4u);
  EXPECT_STREQ(text, "tail");
  ASSERT_EQ(fseeko(in, 0, SEEK_SET), 0);
  ASSERT_EQ(std::fread(text, 1, 4, in), 4u);
  EXPECT_STREQ(text, "head");
  ASSERT_EQ(fseeko(in, int64_t{1} << 30, SEEK_SET), 0);
  ASSERT_EQ(std::fread(text, 1, 4, in), 4u);
  EXPECT_EQ(std::memcmp(text, "\0\0\0\0", 4), 0);
  std::fclose(in);
}

}  // namespace
