// Helpers shared by the AVI writer tests: temporary files, reading a recording
// back byte by byte and through libavformat, and frame payloads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A path in the temporary folder that is removed when the object goes away.
class TempPath {
 public:
  explicit TempPath(const std::string& name);
  ~TempPath();
  TempPath(const TempPath&) = delete;
  TempPath& operator=(const TempPath&) = delete;
  const char* c_str() const { return path_.c_str(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

Bytes ReadFileBytes(const std::filesystem::path& path);

// Little-endian fields and FourCCs of a file image; offsets past the end read
// as zero / "" so that a short file fails the comparison instead of crashing.
uint16_t Le16(const Bytes& file, uint64_t offset);
uint32_t Le32(const Bytes& file, uint64_t offset);
uint64_t Le64(const Bytes& file, uint64_t offset);
std::string FourCC(const Bytes& file, uint64_t offset);

// Deterministic payload of frame n, distinct for every n.
Bytes PatternFrame(int n, size_t size);

// Small baseline JPEG images, one per frame, that a decoder accepts.
std::vector<Bytes> EncodeJpegFrames(int count, int width, int height);

// One-stream MJPEG recording at 25 frames per second; every frame is a key
// frame. Returns the first non-zero result of the writer's calls.
int WriteRecording(const char* path, int width, int height, const std::vector<Bytes>& frames);

struct ReadBackInfo {
  std::string codecName;  // libavcodec's name of the stream's codec
  int width = 0;
  int height = 0;
  int timeBaseNumerator = 0;
  int timeBaseDenominator = 0;
  int64_t declaredFrames = 0;  // the demuxer's frame count of the stream
  int packets = 0;
};

// Opens path with libavformat and hands over every packet of stream 0 in
// order. Returns false when libavformat cannot open the file or a read fails.
bool ReadBack(const char* path, ReadBackInfo& info,
              const std::function<void(int n, const uint8_t* data, int size, bool keyFrame)>& onPacket);

// Reads every packet into memory; returns the packets, empty on failure.
std::vector<Bytes> ReadBackPackets(const char* path, ReadBackInfo& info);

// size bytes of path from offset (fewer at the end of the file).
Bytes ReadFileRange(const std::filesystem::path& path, uint64_t offset, size_t size);
