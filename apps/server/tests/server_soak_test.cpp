// Many clients one after another, each taking a few frames and leaving: the server's
// descriptors and memory stay where they were.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "server_process.h"
#include "test_client.h"

namespace {

constexpr int kClients = 200;
constexpr int kWarmUpClients = 20;

size_t OpenDescriptors(pid_t pid) {
  const std::filesystem::path folder = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code failure;
  size_t count = 0;
  for (auto entry = std::filesystem::directory_iterator(folder, failure);
       !failure && entry != std::filesystem::directory_iterator(); entry.increment(failure)) {
    ++count;
  }
  return count;
}

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// The thread sanitizer keeps records of every thread and lock the server ever made (about
// 25 KiB a client here), so its bound is looser; the other builds check the tight one.
#if defined(__SANITIZE_THREAD__)
constexpr long kResidentGrowthLimitKiB = 16 * 1024;
#else
constexpr long kResidentGrowthLimitKiB = 4 * 1024;
#endif

// Under AddressSanitizer freed blocks sit in a quarantine that looks like growth; keep
// it small for the server so that only real leaks show.
std::vector<std::string> SoakEnvironment() {
  const char* options = std::getenv("ASAN_OPTIONS");
  return {std::string("ASAN_OPTIONS=") + (options != nullptr ? std::string(options) + ":" : "") +
          "quarantine_size_mb=1"};
}

}  // namespace

TEST(ServerSoak, TwoHundredClientsLeaveNoDescriptorsOrMemoryBehind) {
  const uint16_t port = FindFreePort();
  ServerProcess server(port, SoakEnvironment());
  ASSERT_TRUE(server.WaitForOutput("with API versions", milliseconds(20000))) << server.Output();

  size_t descriptorsAfterWarmUp = 0;
  long residentAfterWarmUp = 0;
  for (int i = 1; i <= kClients; ++i) {
    {
      TestClient client(port);
      ASSERT_TRUE(client.SendStart(StreamRequest(i % 2, 30)));
      ASSERT_EQ(client.ReadReply(milliseconds(10000)), stream_protocol::kStatusStreaming) << "client " << i;
      ASSERT_GE(client.ReadImages(2, milliseconds(10000)).size(), 2u) << "client " << i;
    }
    ASSERT_TRUE(server.WaitForOutput("disconnected\r\n", milliseconds(10000), static_cast<size_t>(i)))
        << "client " << i << "\n"
        << server.Output().substr(server.Output().size() > 2000 ? server.Output().size() - 2000 : 0);
    if (i == kWarmUpClients) {
      descriptorsAfterWarmUp = OpenDescriptors(server.Pid());
      residentAfterWarmUp = ResidentKiB(server.Pid());
    }
  }

  EXPECT_EQ(server.CountInOutput("Stop camera\r\n"), static_cast<size_t>(kClients));
  EXPECT_EQ(OpenDescriptors(server.Pid()), descriptorsAfterWarmUp);
  EXPECT_LT(ResidentKiB(server.Pid()) - residentAfterWarmUp, kResidentGrowthLimitKiB)
      << "KiB after " << kWarmUpClients << ": " << residentAfterWarmUp;
  server.SendInput("q");
  EXPECT_EQ(server.WaitForExit(milliseconds(10000)), 0);
}
