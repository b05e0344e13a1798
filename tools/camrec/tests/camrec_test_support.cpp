#include "camrec_test_support.h"

#include <turbojpeg.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <fstream>

AviContents ReadAvi(const std::string& path) {
  AviContents contents;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) != 0) return contents;
  if (avformat_find_stream_info(format, nullptr) >= 0 && format->nb_streams == 1) {
    contents.opened = true;
    const AVStream* stream = format->streams[0];
    contents.codec = stream->codecpar->codec_id;
    contents.width = stream->codecpar->width;
    contents.height = stream->codecpar->height;
    contents.framesPerSecond = av_q2d(stream->avg_frame_rate);
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
      ++contents.packets;
      contents.packetsAreJpeg = contents.packetsAreJpeg && packet->size > 4 && packet->data[0] == 0xFF &&
                                packet->data[1] == 0xD8 && packet->data[packet->size - 2] == 0xFF &&
                                packet->data[packet->size - 1] == 0xD9;
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
  }
  avformat_close_input(&format);
  return contents;
}

bool DecodesAs(const std::filesystem::path& file, int width, int height) {
  std::ifstream input(file, std::ios::binary);
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
  tjhandle decoder = tjInitDecompress();
  int decodedWidth = 0;
  int decodedHeight = 0;
  int subsampling = 0;
  int colourspace = 0;
  bool ok = tjDecompressHeader3(decoder, image.data(), image.size(), &decodedWidth, &decodedHeight, &subsampling,
                                &colourspace) == 0;
  if (ok) {
    std::vector<uint8_t> pixels(static_cast<size_t>(decodedWidth * decodedHeight * 3));
    ok = tjDecompress2(decoder, image.data(), image.size(), pixels.data(), decodedWidth, 0, decodedHeight, TJPF_RGB,
                       0) == 0;
  }
  tjDestroy(decoder);
  return ok && decodedWidth == width && decodedHeight == height;
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
  std::ifstream input(file, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> EncodeTestJpeg(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width * height * 3));
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7);
  tjhandle encoder = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  tjCompress2(encoder, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_422, 80, 0);
  std::vector<uint8_t> image(jpeg, jpeg + size);
  tjFree(jpeg);
  tjDestroy(encoder);
  return image;
}

void RecorderAgainstServer::SetUp() {
  folder_ = std::filesystem::temp_directory_path() / ("camrec-test-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(folder_);
  port_ = FindFreePort();
  server_ = std::make_unique<ServerProcess>(port_);
  ASSERT_TRUE(server_->WaitForOutput("with API versions", kStartTime)) << server_->Output();
}

void RecorderAgainstServer::TearDown() {
  server_->SendInput("q");
  server_->WaitForExit(milliseconds(10000));
  std::filesystem::remove_all(folder_);
}

std::unique_ptr<ChildProcess> RecorderAgainstServer::Recorder(std::vector<std::string> arguments) {
  // The server prints its start lines just before it listens: let the recorder retry.
  arguments.insert(arguments.begin(), {"--port", std::to_string(port_), "--quiet", "--connect-timeout", "10"});
  return std::make_unique<ChildProcess>(VELMAR_CAMREC_PATH, arguments);
}
