// Installing client drivers, offering plugged devices to them, and unplugging.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "host_fixture.h"
#include "id_table.h"
#include "platform/winbase.h"

namespace usbtest {
namespace {

using testclient::kTestVendor;
using usbhost::DeviceId;
using usbhost::HandleFromId;

bool IsPlugged(DeviceId id) {
  const std::vector<DeviceId> plugged = usbhost::PluggedDevices();
  return std::ranges::find(plugged, id) != plugged.end();
}

using ClientInstall = HostTest;

TEST_F(ClientInstall, RunsUSBInstallDriverOncePerProcessWithTheLibraryName) {
  const int installs = testclient::InstallCount();
  EXPECT_GE(installs, 1);
  EXPECT_EQ(testclient::InstalledLibraryName(), testclient::kLibraryName);
  std::string error;
  EXPECT_TRUE(usbhost::InstallClientDriver(u"USBD_TEST_CLIENT.DLL", error)) << error;
  EXPECT_EQ(testclient::InstallCount(), installs);
}

TEST_F(ClientInstall, ALibraryThatCannotServeIsReported) {
  std::string error;
  EXPECT_FALSE(usbhost::InstallClientDriver(u"no_such_driver.dll", error));
  EXPECT_NE(error.find("no_such_driver.dll"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(usbhost::InstallClientDriver(u"platform.dll", error));  // loads, but is no client driver
  EXPECT_NE(error.find("has no USBInstallDriver"), std::string::npos) << error;
  EXPECT_FALSE(usbhost::InstallClientDriver(u"", error));
}

using DeviceAttach = HostTest;

TEST_F(DeviceAttach, OnlyDevicesOfTheRegisteredVendorAreOffered) {
  DeviceId other = 0;
  Plug(0x4321, &other);
  EXPECT_TRUE(testclient::Attachments().empty());
  EXPECT_TRUE(IsPlugged(other)) << "a device without driver stays plugged";

  DeviceId id = 0;
  Plug(kTestVendor, &id);
  const auto attachments = testclient::Attachments();
  ASSERT_EQ(attachments.size(), 1u);
  const testclient::Attachment& attached = attachments[0];
  EXPECT_EQ(attached.device, HandleFromId<USB_HANDLE>(id));
  EXPECT_TRUE(attached.accepted);
  EXPECT_EQ(attached.driverId, testclient::kDriverId);
  EXPECT_EQ(attached.settings.dwVendorId, kTestVendor);
  EXPECT_EQ(attached.interface, nullptr) << "device-level settings name no interface";
  ASSERT_NE(attached.funcs, nullptr);
  EXPECT_EQ(attached.funcs->dwCount, sizeof(USB_FUNCS));
}

TEST_F(DeviceAttach, DeviceInfoDescribesEveryAlternateSettingOfTheActiveConfiguration) {
  Plug(kTestVendor);
  const testclient::Attachment attached = Attached();
  LPCUSB_FUNCS funcs = attached.funcs;
  LPCUSB_DEVICE info = funcs->GetDeviceInfo(attached.device);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(funcs->GetDeviceInfo(attached.device), info) << "the record stays where it is";
  EXPECT_EQ(info->Descriptor.idVendor, kTestVendor);
  ASSERT_NE(info->lpActiveConfig, nullptr);
  EXPECT_EQ(info->lpActiveConfig->Descriptor.bNumInterfaces, 1);
  ASSERT_EQ(info->lpActiveConfig->dwNumInterfaces, 2u);
  EXPECT_EQ(info->lpActiveConfig->Descriptor.wTotalLength, 9 + 2 * 9 + 2 * 7);

  LPCUSB_INTERFACE streaming = funcs->FindInterface(info, 0, 1);
  ASSERT_NE(streaming, nullptr);
  ASSERT_EQ(streaming->Descriptor.bNumEndpoints, 2);
  EXPECT_EQ(streaming->lpEndpoints[0].Descriptor.bEndpointAddress, 0x81);
  EXPECT_EQ(streaming->lpEndpoints[0].Descriptor.wMaxPacketSize, 512);
  EXPECT_EQ(streaming->lpEndpoints[1].Descriptor.bEndpointAddress, 0x02);
  EXPECT_EQ(funcs->FindInterface(info, 0, 0)->Descriptor.bNumEndpoints, 0);
  EXPECT_EQ(funcs->FindInterface(info, 0, 2), nullptr);
  EXPECT_EQ(funcs->FindInterface(info, 1, 0), nullptr);

  const USB_DEVICE foreign{};
  EXPECT_EQ(funcs->FindInterface(&foreign, 0, 1), nullptr);
  EXPECT_EQ(funcs->FindInterface(nullptr, 0, 1), nullptr);
}

// A second registration of the same library, narrower than the client's own (vendor
// and product), so it is offered first.
class TwoRegistrations : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_NE(usbd, nullptr);
    auto registerId = reinterpret_cast<LPREGISTER_CLIENT_DRIVER_ID>(GetProcAddressW(usbd, u"RegisterClientDriverID"));
    auto registerSettings =
        reinterpret_cast<LPREGISTER_CLIENT_SETTINGS>(GetProcAddressW(usbd, u"RegisterClientSettings"));
    ASSERT_TRUE(registerId(kNarrowId));
    ASSERT_TRUE(registerSettings(testclient::kLibraryName, kNarrowId, nullptr, &narrow));
  }
  void TearDown() override {
    reinterpret_cast<LPUN_REGISTER_CLIENT_DRIVER_ID>(GetProcAddressW(usbd, u"UnRegisterClientDriverID"))(kNarrowId);
    FreeLibrary(usbd);
    HostTest::TearDown();
  }

  static constexpr char16_t kNarrowId[] = u"NARROW";
  const USB_DRIVER_SETTINGS narrow{sizeof(USB_DRIVER_SETTINGS),
                                   kTestVendor,
                                   0x0001,
                                   USB_NO_INFO,
                                   USB_NO_INFO,
                                   USB_NO_INFO,
                                   USB_NO_INFO,
                                   USB_NO_INFO,
                                   USB_NO_INFO,
                                   USB_NO_INFO};
  HMODULE usbd = LoadLibraryW(u"usbd.dll");
};

TEST_F(TwoRegistrations, TheFirstDriverToAcceptTakesTheDevice) {
  Plug(kTestVendor);
  const auto attachments = testclient::Attachments();
  ASSERT_EQ(attachments.size(), 1u);
  EXPECT_EQ(attachments[0].driverId, kNarrowId);
  EXPECT_EQ(attachments[0].settings.dwProductId, 0x0001u);
}

TEST_F(TwoRegistrations, ARefusedOfferGoesToTheNextRegistrationAndLeavesTheDeviceUnowned) {
  testclient::SetAccept(false);
  DeviceId id = 0;
  Plug(kTestVendor, &id);
  const auto attachments = testclient::Attachments();
  ASSERT_EQ(attachments.size(), 2u);
  EXPECT_EQ(attachments[0].driverId, kNarrowId);
  EXPECT_EQ(attachments[1].driverId, testclient::kDriverId);
  EXPECT_TRUE(IsPlugged(id));
  EXPECT_TRUE(usbhost::UnplugDevice(id));
  EXPECT_TRUE(testclient::Notifications().empty());
}

TEST_F(DeviceAttach, NullBackendIsRefused) { EXPECT_EQ(usbhost::PlugDevice(nullptr), 0u); }

using DeviceUnplug = HostTest;

TEST_F(DeviceUnplug, CallsTheNotificationRoutineWithCloseDeviceAndInvalidatesTheHandle) {
  DeviceId id = 0;
  auto backend = Plug(kTestVendor, &id);
  const testclient::Attachment attached = Attached();

  ASSERT_TRUE(usbhost::UnplugDevice(id));
  EXPECT_TRUE(backend->Disconnected());
  const auto notifications = testclient::Notifications();
  ASSERT_EQ(notifications.size(), 1u);
  EXPECT_EQ(notifications[0].device, attached.device);
  EXPECT_EQ(notifications[0].code, USB_CLOSE_DEVICE);

  EXPECT_FALSE(IsPlugged(id));
  EXPECT_FALSE(usbhost::UnplugDevice(id));
  SetLastError(0);
  EXPECT_EQ(attached.funcs->GetDeviceInfo(attached.device), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(attached.funcs->RegisterNotificationRoutine(attached.device, nullptr, nullptr));
  EXPECT_EQ(testclient::Notifications().size(), 1u);
}

TEST_F(DeviceUnplug, TheRoutineMayCallBackIntoTheFunctionTable) {
  DeviceId id = 0;
  Plug(kTestVendor, &id);
  testclient::SetOnNotify(testclient::OnNotify::CallBack);
  ASSERT_TRUE(usbhost::UnplugDevice(id));
  const auto notifications = testclient::Notifications();
  ASSERT_EQ(notifications.size(), 1u);
  EXPECT_TRUE(notifications[0].deviceInfoFound);
  EXPECT_TRUE(notifications[0].transferRefused);
  EXPECT_EQ(notifications[0].transferRefusedError, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
}

TEST_F(DeviceUnplug, ABlockedRoutineHoldsUpNoOtherDevice) {
  DeviceId first = 0;
  Plug(kTestVendor, &first);
  testclient::SetOnNotify(testclient::OnNotify::WaitForRelease);
  std::thread unplugger([first] { usbhost::UnplugDevice(first); });
  ASSERT_TRUE(testclient::WaitForNotifyEntered(1));
  EXPECT_FALSE(IsPlugged(first)) << "a device on its way out is no longer listed";

  // While the first routine blocks, another device comes and goes.
  testclient::SetOnNotify(testclient::OnNotify::Record);
  DeviceId second = 0;
  Plug(kTestVendor, &second);
  const testclient::Attachment attached = Attached();
  EXPECT_EQ(attached.device, HandleFromId<USB_HANDLE>(second));
  const USB_DEVICE_REQUEST setup{0x40, 0xA0, 1, 2, 0};
  USB_TRANSFER transfer = attached.funcs->IssueVendorTransfer(attached.device, nullptr, nullptr, 0, &setup, nullptr, 0);
  ASSERT_NE(transfer, nullptr);
  EXPECT_TRUE(attached.funcs->CloseTransfer(transfer));
  EXPECT_TRUE(usbhost::UnplugDevice(second));

  testclient::ReleaseNotify();
  unplugger.join();
  const auto notifications = testclient::Notifications();
  ASSERT_EQ(notifications.size(), 2u);
  EXPECT_EQ(notifications[0].device, HandleFromId<USB_HANDLE>(second));
  EXPECT_EQ(notifications[1].device, HandleFromId<USB_HANDLE>(first));
}

TEST_F(DeviceUnplug, PlugAndUnplugFromManyThreadsNotifiesEveryDeviceOnce) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  std::atomic<int> accepted{0};
  std::atomic<bool> stop{false};
  // Unplugs whatever it sees, racing the owners' own unplugs and transfers.
  std::thread chaos([&] {
    while (!stop) {
      for (DeviceId id : usbhost::PluggedDevices()) usbhost::UnplugDevice(id);
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) {
        const DeviceId id = usbhost::PlugDevice(std::make_shared<TestBackend>(CameraLikeModel(kTestVendor)));
        const USB_HANDLE device = HandleFromId<USB_HANDLE>(id);
        for (const auto& attachment : testclient::Attachments()) {
          if (attachment.device != device) continue;
          ++accepted;
          const USB_DEVICE_REQUEST setup{0x40, 0xA0, 1, 2, 0};
          USB_TRANSFER transfer =
              attachment.funcs->IssueVendorTransfer(device, nullptr, nullptr, 0, &setup, nullptr, 0);
          if (transfer) attachment.funcs->CloseTransfer(transfer);
        }
        usbhost::UnplugDevice(id);
      }
    });
  }
  for (auto& worker : workers) worker.join();
  stop = true;
  chaos.join();

  // A device the chaos thread unplugs before its attach is never offered; every device
  // a driver took is told exactly once that it went.
  EXPECT_GT(accepted, 0);
  auto notifications = testclient::Notifications();
  EXPECT_EQ(notifications.size(), static_cast<size_t>(accepted));
  EXPECT_TRUE(std::ranges::all_of(notifications, [](const auto& n) { return n.code == USB_CLOSE_DEVICE; }));
  std::ranges::sort(notifications, {}, [](const auto& n) { return usbhost::IdFromHandle(n.device); });
  EXPECT_EQ(std::ranges::adjacent_find(notifications, {}, [](const auto& n) { return n.device; }), notifications.end());
}

using HostShutdown = HostTest;

TEST_F(HostShutdown, UnplugsEveryDeviceThenUninstallsTheDrivers) {
  const int installs = testclient::InstallCount();
  const int uninstalls = testclient::UninstallCount();
  DeviceId id = 0;
  Plug(kTestVendor, &id);
  usbhost::ShutdownHost();
  EXPECT_FALSE(IsPlugged(id));
  EXPECT_EQ(testclient::Notifications().size(), 1u);
  EXPECT_EQ(testclient::UninstallCount(), uninstalls + 1);

  Plug(kTestVendor);
  EXPECT_EQ(testclient::Attachments().size(), 1u) << "the driver's registration is gone";

  std::string error;
  ASSERT_TRUE(usbhost::InstallClientDriver(testclient::kLibraryName, error)) << error;
  EXPECT_EQ(testclient::InstallCount(), installs + 1);
  Plug(kTestVendor);
  EXPECT_EQ(testclient::Attachments().size(), 2u);
}

}  // namespace
}  // namespace usbtest
