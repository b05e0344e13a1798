// Open and close racing the unplug, and cameras plugged at the same moment: the record
// must survive exactly as long as someone holds it, whatever the order, and no two
// cameras may share a port.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <latch>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "driver_test_support.h"
#include "platform/windows.h"

namespace {

// Runs `body(0)` ... `body(count - 1)` on threads of their own, released together.
void RunTogether(int count, const std::function<void(int)>& body) {
  std::latch start(count);
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, i] {
      start.arrive_and_wait();
      body(i);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

// What a program's thread does here: opens the stream device and closes it again, holding
// it for `hold` each time, until `stop`; counts the opens and the closes that failed.
struct OpenCloseLoop {
  std::atomic<int> opens{0};
  std::atomic<int> failedCloses{0};

  template <typename Hold>
  void Run(const std::u16string& name, const std::atomic<bool>& stop, Hold hold) {
    while (!stop) {
      HANDLE handle = drvtest::OpenStream(name);
      if (handle == INVALID_HANDLE_VALUE) continue;
      ++opens;
      std::this_thread::sleep_for(hold());
      if (!CloseHandle(handle)) ++failedCloses;
    }
  }
};

TEST(ConcurrencyTest, OpenAndCloseWhileTheCameraIsUnplugged) {
  drvtest::ClearPortNames();
  std::mt19937 random(12345);
  for (int round = 0; round < 12; ++round) {
    drvtest::PluggedCamera camera("timing=fast,sensor=2");
    VlmDevice* device = camera.Device();
    ASSERT_NE(device, nullptr);
    const std::u16string name = camera.StreamName();

    std::atomic<bool> unplugged{false};
    OpenCloseLoop loop;
    std::thread user([&] { loop.Run(name, unplugged, [] { return std::chrono::microseconds(200); }); });
    while (loop.opens == 0) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 20));
    camera.Unplug();
    unplugged = true;
    user.join();

    EXPECT_FALSE(IsValidDevice(device)) << "round " << round;
    EXPECT_EQ(drvtest::ActiveKeyCount(), 0u);
    EXPECT_EQ(drvtest::OpenStream(name), INVALID_HANDLE_VALUE);
  }
}

// Two threads open and close as fast as they can, one's open landing inside the other's
// close, while the camera is unplugged and a fresh one plugged: every handle that opened
// must close its own record, which lives until the last of them and the detach.
TEST(ConcurrencyTest, OpenAgainstCloseFromTwoThreadsAcrossUnplugAndReplug) {
  drvtest::ClearPortNames();
  for (int round = 0; round < 60; ++round) {
    drvtest::PluggedCamera camera("timing=fast,sensor=2");
    VlmDevice* device = camera.Device();
    ASSERT_NE(device, nullptr);
    const std::u16string name = camera.StreamName();

    std::atomic<bool> unplugged{false};
    OpenCloseLoop loop;
    const auto user = [&](int thread) {
      std::minstd_rand random(round * 2 + thread + 1);
      loop.Run(name, unplugged, [&] { return std::chrono::microseconds(random() % 50); });
    };
    std::thread unplug([&] {
      const int opensBefore = 1 + round % 30;
      while (loop.opens < opensBefore) std::this_thread::yield();
      camera.Unplug();
      unplugged = true;
    });
    RunTogether(2, user);
    unplug.join();

    EXPECT_EQ(loop.failedCloses, 0) << "round " << round;
    EXPECT_FALSE(IsValidDevice(device)) << "round " << round;
    EXPECT_EQ(drvtest::ActiveKeyCount(), 0u);
    if (HasFailure()) break;
  }
}

class SimultaneousPlugTest : public ::testing::TestWithParam<int> {};

TEST_P(SimultaneousPlugTest, CamerasPluggedAtTheSameMomentTakePortsOfTheirOwn) {
  const int count = GetParam();
  for (int round = 0; round < 25; ++round) {
    drvtest::ClearPortNames();
    std::vector<std::unique_ptr<vtest::PluggedCamera>> cameras(count);
    RunTogether(count, [&](int i) { cameras[i] = std::make_unique<vtest::PluggedCamera>("timing=fast,sensor=2"); });

    // Each record holds a slot of its own, and the slot holds that record's device name.
    const std::vector<VlmDevice*> records = drvtest::ActiveRecords();
    ASSERT_EQ(records.size(), static_cast<size_t>(count));
    std::set<std::u16string> slots;
    for (VlmDevice* device : records) {
      const std::u16string slot = device->portValueName;
      slots.insert(slot);
      EXPECT_EQ(drvtest::RegistryText(u"VELMAR\\Ports", slot), drvtest::RegistryText(device->activeKeyPath, u"Name"))
          << "round " << round;
    }
    EXPECT_EQ(slots.size(), static_cast<size_t>(count)) << "round " << round;

    // Unplugged at the same moment, each gives back its own slot and only that.
    RunTogether(count, [&](int i) { cameras[i]->Unplug(); });
    for (int n = 1; n <= 9; ++n) EXPECT_EQ(drvtest::PortName(n), u"") << "round " << round << ", Port" << n;
    if (HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(Cameras, SimultaneousPlugTest, ::testing::Values(2, 4));

}  // namespace
