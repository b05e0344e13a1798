// Writes the seed corpora of the fuzz targets from what the emulated camera really sends:
// isochronous transfers of its frames (frame assembly), the scans behind the driver's
// constant header (decoder), the server's stream of images (stream protocol), start
// packets (server) and device lists (the boot). Deterministic: fast timing, test pattern.
//
//   make_fuzz_seeds SOURCE_TREE
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "emucam/emulated_camera.h"
#include "image/jpeg_header.h"
#include "stream_protocol/stream_protocol.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

constexpr DWORD kPacketBytes = 1023;  // setting 7
constexpr size_t kPacketsPerTransfer = 4;
constexpr uint8_t kRegisterWrite = 0xA0;
constexpr uint16_t kSizeRegister = 0x002;
constexpr uint8_t kQuarterSize = 0x10;
constexpr size_t kCameraHeaderBytes = 18;  // FF D8 and the camera's 16-byte header

struct Capture {
  std::vector<Bytes> packets;  // in order, empty ones included
  std::vector<Bytes> frames;   // the packets of each frame joined, from its FF D8 on
};

// Packets of `frames` whole frames and the start of the next, as the camera sends them.
Capture CaptureCamera(bool quarterSize, size_t frames) {
  std::string error;
  auto camera = emucam::EmulatedCamera::Create("timing=fast,fps=max", error);
  if (!camera) throw std::runtime_error(error);
  std::array<uint8_t, 0> none{};
  const uint16_t sizeValue = quarterSize ? kQuarterSize : 0;
  camera->SubmitControl({0x40, kRegisterWrite, sizeValue, kSizeRegister, 0}, none, [](DWORD, DWORD) {});
  camera->SelectAlternateSetting(0, 7);
  const std::array<DWORD, kPacketsPerTransfer> requested{kPacketBytes, kPacketBytes, kPacketBytes, kPacketBytes};
  std::array<DWORD, kPacketsPerTransfer> actual{};
  Bytes buffer(kPacketsPerTransfer * kPacketBytes);
  Capture capture;
  while (capture.frames.size() <= frames) {
    if (!camera->IsochIn(0x81, requested, buffer.data(), actual)) throw std::runtime_error("no transfer");
    for (size_t i = 0; i < kPacketsPerTransfer; ++i) {
      const uint8_t* packet = buffer.data() + i * kPacketBytes;
      capture.packets.emplace_back(packet, packet + actual[i]);
      if (actual[i] >= 2 && packet[0] == 0xFF && packet[1] == 0xD8) capture.frames.emplace_back();
      if (!capture.frames.empty())
        capture.frames.back().insert(capture.frames.back().end(), packet, packet + actual[i]);
    }
  }
  capture.frames.pop_back();  // only begun
  return capture;
}

// The driver's rebuilt image: the constant header with the frame size, then the scan.
Bytes RebuildImage(const Bytes& frame, bool quarterSize) {
  Bytes image(JpegHeaderTemplate.begin(), JpegHeaderTemplate.end());
  if (!quarterSize) PatchJpegFrameSize(image.data(), 640, 480);
  image.insert(image.end(), frame.begin() + kCameraHeaderBytes, frame.end());
  return image;
}

void Append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

class SeedFolder {
 public:
  SeedFolder(const fs::path& tree, const std::string& module, const std::string& target)
      : folder_(tree / module / "fuzz/seeds" / target) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void Write(const std::string& name, const std::string& text) const { Write(name, Bytes(text.begin(), text.end())); }

 private:
  fs::path folder_;
};

// Format byte, size byte, packet stride byte (16 + 4 * 252 = 1024), then the packets:
// 16-bit little-endian length and the bytes.
void WriteFrameAssemblySeeds(const fs::path& tree, const Capture& quarter, const Capture& full) {
  const SeedFolder seeds(tree, "driver", "fuzz_frame_assembly");
  struct Seed {
    const char* name;
    uint8_t format;
    const Capture& capture;
  };
  const Seed made[] = {{"jpeg-320x240", 4, quarter},   {"rgb24-320x240", 1, quarter}, {"rgb565-320x240", 0, quarter},
                       {"yuv422-320x240", 5, quarter}, {"yuv420-640x480", 3, full},   {"rgb32-640x480", 2, full}};
  for (const Seed& seed : made) {
    const bool quarterSize = &seed.capture == &quarter;
    Bytes input{seed.format, static_cast<uint8_t>(quarterSize ? 1 : 0), 252};
    for (const Bytes& packet : seed.capture.packets) {
      input.push_back(static_cast<uint8_t>(packet.size()));
      input.push_back(static_cast<uint8_t>(packet.size() >> 8));
      Append(input, packet);
    }
    seeds.Write(seed.name, input);
  }
}

// Selector byte (below 0xC0: scan data behind the header, odd for 640 x 480; from 0xC0
// on: a whole image), then the bytes.
void WriteDecoderSeeds(const fs::path& tree, const Capture& quarter, const Capture& full) {
  const SeedFolder seeds(tree, "driver/image", "fuzz_decode_image");
  auto scan = [](uint8_t selector, const Bytes& frame) {
    Bytes input{selector};
    input.insert(input.end(), frame.begin() + kCameraHeaderBytes, frame.end());
    return input;
  };
  seeds.Write("scan-320x240", scan(0x00, quarter.frames.at(0)));
  seeds.Write("scan-640x480", scan(0x01, full.frames.at(0)));
  Bytes whole{0xC0};
  Append(whole, RebuildImage(quarter.frames.at(1), true));
  seeds.Write("image-320x240", whole);
}

// What the server's peers see: a start packet or a reply, then images back to back.
void WriteStreamSeeds(const fs::path& tree, const Capture& quarter) {
  const SeedFolder seeds(tree, "apps/server/protocol", "fuzz_stream_protocol");
  stream_protocol::StreamParameters request;
  request.sizeIndex = 1;
  request.frameRate = 30;
  const auto start = stream_protocol::EncodeStartPacket(request);
  const auto reply = stream_protocol::EncodeStartReply(true);
  Bytes fromClient(start.begin(), start.end());
  Bytes fromServer(reply.begin(), reply.end());
  for (size_t i = 0; i < 2; ++i) {
    Append(fromClient, RebuildImage(quarter.frames.at(i), true));
    Append(fromServer, RebuildImage(quarter.frames.at(i), true));
  }
  seeds.Write("start-packet-and-images", fromClient);
  seeds.Write("reply-and-images", fromServer);
}

void WriteStartRequestSeeds(const fs::path& tree) {
  const SeedFolder seeds(tree, "apps/server", "fuzz_start_request");
  auto packet = [](int32_t camera, int32_t sizeIndex, int32_t format, int32_t rate) {
    stream_protocol::StreamParameters parameters{camera, sizeIndex, format, rate};
    const auto bytes = stream_protocol::EncodeStartPacket(parameters);
    return Bytes(bytes.begin(), bytes.end());
  };
  seeds.Write("valid-320x240-25", packet(0, 1, stream_protocol::kJpegFormatCode, 25));
  seeds.Write("valid-640x480-30-camera8", packet(8, 0, stream_protocol::kJpegFormatCode, 30));
  seeds.Write("rate-0", packet(0, 1, stream_protocol::kJpegFormatCode, 0));
  seeds.Write("rate-31", packet(0, 1, stream_protocol::kJpegFormatCode, 31));
  seeds.Write("format-rgb24", packet(0, 1, 1, 25));
  Bytes wrongMagic = packet(0, 1, stream_protocol::kJpegFormatCode, 25);
  wrongMagic[0] = 0x8E;
  seeds.Write("wrong-magic", wrongMagic);
  Bytes shortPacket = packet(0, 1, stream_protocol::kJpegFormatCode, 25);
  shortPacket.pop_back();
  seeds.Write("27-bytes", shortPacket);
  Bytes longPacket = packet(0, 1, stream_protocol::kJpegFormatCode, 25);
  longPacket.push_back(0);
  seeds.Write("29-bytes", longPacket);
}

// The device lists of the emulated camera's documentation, and every key once.
void WriteDeviceListSeeds(const fs::path& tree) {
  const SeedFolder seeds(tree, "emucam", "fuzz_device_list");
  const char* lists[] = {
      "emu",
      "emu:count=2",
      "emu:sensor=12,fps=15;emu:sensor=11a,chipid=0xE001",
      "emu:source=file:cat.jpg",
      "emu:refuse=7+6",
      "emu:unplug=3,replug=2",
      "emu:count=3,sensor=2;usb:1-2;emu",
      "emu:sensor=21id,fps=max,timing=fast,vendor=0x0AC8,product=0xEC01,packets=128+256+384+512+680+896+1023,"
      "endpoint=setting0,fault=noeoi",
      "emu:timing=scripted,script=packets.bin",
      "emu:fault=throw,unplug=0.5;",
  };
  int number = 0;
  for (const char* list : lists) seeds.Write("list-" + std::to_string(++number), std::string(list));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds SOURCE_TREE\n");
    return 2;
  }
  try {
    const fs::path tree = argv[1];
    const Capture quarter = CaptureCamera(true, 3);
    const Capture full = CaptureCamera(false, 3);
    WriteFrameAssemblySeeds(tree, quarter, full);
    WriteDecoderSeeds(tree, quarter, full);
    WriteStreamSeeds(tree, quarter);
    WriteStartRequestSeeds(tree);
    WriteDeviceListSeeds(tree);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "make_fuzz_seeds: %s\n", failure.what());
    return 1;
  }
  return 0;
}
