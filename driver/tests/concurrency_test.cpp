// Open and close racing the unplug: the record must survive exactly as long as someone
// holds it, whatever the order.

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "driver_test_support.h"
#include "platform/windows.h"

namespace {

TEST(ConcurrencyTest, OpenAndCloseWhileTheCameraIsUnplugged) {
  drvtest::ClearPortNames();
  std::mt19937 random(12345);
  for (int round = 0; round < 12; ++round) {
    drvtest::PluggedCamera camera("timing=fast,sensor=2");
    VlmDevice* device = camera.Device();
    ASSERT_NE(device, nullptr);
    const std::u16string name = camera.StreamName();

    std::atomic<bool> unplugged{false};
    std::atomic<int> opens{0};
    std::thread user([&] {
      while (!unplugged) {
        HANDLE handle = drvtest::OpenStream(name);
        if (handle == INVALID_HANDLE_VALUE) continue;
        ++opens;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        CloseHandle(handle);
      }
    });
    while (opens == 0) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 20));
    camera.Unplug();
    unplugged = true;
    user.join();

    EXPECT_FALSE(IsValidDevice(device)) << "round " << round;
    EXPECT_EQ(drvtest::ActiveKeyCount(), 0u);
    EXPECT_EQ(drvtest::OpenStream(name), INVALID_HANDLE_VALUE);
  }
}

}  // namespace
