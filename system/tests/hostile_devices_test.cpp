// Device lists naming files that must not be read whole: devices, pipes, folders,
// unreadable files, oversized files and pictures that claim a huge size. Each one fails
// the boot quickly, with one line naming the option, and without taking much memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "system/boot.h"
#include "usbhost/usbhost.h"

namespace {

namespace fs = std::filesystem;

struct HostileEntry {
  const char* name;
  const char* devices;  // "{dir}" stands for the test's folder
  const char* reason;   // a part of the message
};

// A baseline JPEG header that claims 16384 x 16384 grey pixels, with a few bytes of scan.
std::vector<uint8_t> HugeClaimingJpeg() {
  std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
  bytes.insert(bytes.end(), 64, 0x01);
  const uint8_t frame[] = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x40, 0x00, 0x40, 0x00, 0x01, 0x01, 0x11, 0x00};
  const uint8_t scan[] = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
  bytes.insert(bytes.end(), std::begin(frame), std::end(frame));
  bytes.insert(bytes.end(), std::begin(scan), std::end(scan));
  bytes.insert(bytes.end(), 16, 0x00);
  bytes.insert(bytes.end(), {0xFF, 0xD9});
  return bytes;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A file of `bytes` zero bytes that takes no room on disk.
void WriteSparseFile(const fs::path& path, uintmax_t bytes) {
  std::ofstream(path, std::ios::binary).close();
  fs::resize_file(path, bytes);
}

long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Sets the peak back to the current resident size.
void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

class HostileDevices : public ::testing::TestWithParam<HostileEntry> {
 protected:
  static void SetUpTestSuite() {
    folder_ = fs::temp_directory_path() / ("velmar-hostile-" + std::to_string(getpid()));
    fs::create_directories(folder_);
    WriteFile(folder_ / "huge-claim.jpg", HugeClaimingJpeg());
    WriteSparseFile(folder_ / "oversized.ppm", 65u << 20);
    WriteSparseFile(folder_ / "oversized.script", 17u << 20);
    WriteSparseFile(folder_ / "many-packets.script", (2u << 18) + 2);  // 2^18 + 1 empty packets
    ASSERT_EQ(mkfifo((folder_ / "fifo").c_str(), 0600), 0);
  }
  static void TearDownTestSuite() { fs::remove_all(folder_); }

  void SetUp() override { setenv("VELMAR_DRIVERS", "usbd_test_client.dll", 1); }
  void TearDown() override {
    ShutdownSystem();
    unsetenv("VELMAR_DRIVERS");
    unsetenv("VELMAR_DEVICES");
  }

  static std::string Devices(std::string text) {
    const std::string mark = "{dir}";
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) {
      text.replace(at, mark.size(), folder_.string());
    }
    return text;
  }

  static fs::path folder_;
};

fs::path HostileDevices::folder_;

TEST_P(HostileDevices, BootFailsWithOneLineNamingTheOptionAndLittleMemory) {
  const std::string devices = Devices(GetParam().devices);
  setenv("VELMAR_DEVICES", devices.c_str(), 1);
  ResetPeakResident();
  const long peakBefore = PeakResidentKiB();
  std::string error;
  EXPECT_FALSE(BootSystem(error));
  const long peakRise = PeakResidentKiB() - peakBefore;

  EXPECT_EQ(error.rfind("VELMAR_DEVICES: ", 0), 0u) << error;
  EXPECT_NE(error.find(devices.substr(4)), std::string::npos) << "names the option: " << error;
  EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  EXPECT_LT(peakRise, 128 * 1024) << "KiB";
  EXPECT_TRUE(usbhost::PluggedDevices().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileDevices,
    ::testing::Values(
        HostileEntry{"ImageFromDevZero", "emu:source=file:/dev/zero", "is not a regular file"},
        HostileEntry{"ScriptFromDevZero", "emu:script=/dev/zero", "is not a regular file"},
        HostileEntry{"ImageFromFolder", "emu:source=file:{dir}", "is not a regular file"},
        HostileEntry{"ScriptFromFolder", "emu:script={dir}", "is not a regular file"},
        HostileEntry{"ImageFromFifo", "emu:source=file:{dir}/fifo", "is not a regular file"},
        HostileEntry{"ImageFromProcessMemory", "emu:source=file:/proc/self/mem", "cannot be read"},
        HostileEntry{"ScriptFromProcessMemory", "emu:script=/proc/self/mem", "cannot be read"},
        HostileEntry{"ImageClaimingHugeSize", "emu:source=file:{dir}/huge-claim.jpg", "larger than 4096 pixels"},
        HostileEntry{"OversizedImageFile", "emu:source=file:{dir}/oversized.ppm", "is larger than"},
        HostileEntry{"OversizedScript", "emu:script={dir}/oversized.script", "is larger than"},
        HostileEntry{"ScriptOfTooManyPackets", "emu:script={dir}/many-packets.script", "more than 262144 packets"},
        HostileEntry{"MissingImage", "emu:source=file:{dir}/missing.jpg", "cannot be opened"}),
    [](const ::testing::TestParamInfo<HostileEntry>& entry) { return std::string(entry.param.name); });

}  // namespace
