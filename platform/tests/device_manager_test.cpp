// The device manager with the test stream driver (prefix TST): activation, active
// keys, routing of the file calls, deactivation and handles that outlive it.
#include <gtest/gtest.h>

#include <new>
#include <thread>
#include <vector>

#include "platform/windows.h"
#include "test_driver_log.h"

namespace {

constexpr const char16_t* kDriverKey = u"Drivers\\PlatformTests\\TST";

class DeviceManager : public ::testing::Test {
 protected:
  void SetUp() override {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    SetString(key, u"Dll", u"TSTDRV.DLL");
    SetString(key, u"Prefix", u"TST");
    RegCloseKey(key);
    // The test holds the library too, so its log stays valid throughout.
    module_ = LoadLibraryW(u"TSTDRV.DLL");
    ASSERT_NE(module_, nullptr);
    log_ = reinterpret_cast<TestDriverLogRoutine>(GetProcAddressW(module_, u"TST_Log"))();
    ASSERT_NE(log_, nullptr);
    log_->~TestDriverLog();
    new (log_) TestDriverLog;
  }

  void TearDown() override {
    for (HANDLE activation : activations_) DeactivateDevice(activation);
    if (module_ != nullptr) FreeLibrary(module_);
  }

  static void SetString(HKEY key, LPCWSTR name, const std::u16string& text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  }

  HANDLE Activate(DWORD_PTR clientInfo = 0x1234) {
    HANDLE activation = ActivateDevice(kDriverKey, clientInfo);
    if (activation != nullptr) activations_.push_back(activation);
    return activation;
  }

  BOOL Deactivate(HANDLE activation) {
    std::erase(activations_, activation);
    return DeactivateDevice(activation);
  }

  static HANDLE Open(LPCWSTR name) {
    return CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  // The names of the active keys whose "Name" starts with `prefix`.
  static std::vector<std::u16string> ActiveNames(const std::u16string& prefix) {
    std::vector<std::u16string> names;
    HKEY active = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DEVLOAD_ACTIVE_KEY, 0, KEY_READ, &active) != ERROR_SUCCESS) return names;
    WCHAR subKey[MAX_PATH];
    for (DWORD index = 0;; ++index) {
      DWORD length = MAX_PATH;
      if (RegEnumKeyExW(active, index, subKey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      HKEY entry = nullptr;
      if (RegOpenKeyExW(active, subKey, 0, KEY_READ, &entry) != ERROR_SUCCESS) continue;
      WCHAR name[32] = {};
      DWORD size = sizeof name;
      if (RegQueryValueExW(entry, DEVLOAD_DEVNAME_VALNAME, nullptr, nullptr, reinterpret_cast<LPBYTE>(name), &size) ==
              ERROR_SUCCESS &&
          std::u16string(name).starts_with(prefix)) {
        names.emplace_back(name);
      }
      RegCloseKey(entry);
    }
    RegCloseKey(active);
    return names;
  }

  HMODULE module_ = nullptr;
  TestDriverLog* log_ = nullptr;
  std::vector<HANDLE> activations_;
};

TEST_F(DeviceManager, ActivationNamesDevicesTst1ThenTst2AndWritesTheActiveKey) {
  ASSERT_NE(Activate(), nullptr) << GetLastError();
  EXPECT_EQ(std::u16string(log_->name), u"TST1:");
  const std::u16string firstKey = log_->activeKey;
  EXPECT_TRUE(firstKey.starts_with(u"\\Drivers\\Active\\"));
  ASSERT_NE(Activate(), nullptr);
  EXPECT_EQ(std::u16string(log_->name), u"TST2:");
  EXPECT_NE(std::u16string(log_->activeKey), firstKey);
  EXPECT_EQ(log_->inits.load(), 2);
  EXPECT_EQ(ActiveNames(u"TST"), (std::vector<std::u16string>{u"TST1:", u"TST2:"}));

  HKEY active = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, firstKey.c_str(), 0, KEY_READ, &active), ERROR_SUCCESS);
  WCHAR driverKey[64];
  DWORD size = sizeof driverKey;
  EXPECT_EQ(
      RegQueryValueExW(active, DEVLOAD_DEVKEY_VALNAME, nullptr, nullptr, reinterpret_cast<LPBYTE>(driverKey), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(driverKey), kDriverKey);
  RegCloseKey(active);
}

TEST_F(DeviceManager, ClientInfoAboveFourGibibytesRoundTrips) {
  const DWORD_PTR pointer = 0x00007F12'3456'7890ULL;
  ASSERT_NE(Activate(pointer), nullptr);
  EXPECT_EQ(log_->clientInfo, pointer);  // as read back by the driver's PPP_Init
  HKEY active = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, log_->activeKey, 0, KEY_READ, &active), ERROR_SUCCESS);
  DWORD type = REG_NONE;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(active, DEVLOAD_CLIENTINFO_VALNAME, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_QWORD);
  EXPECT_EQ(size, 8u);
  RegCloseKey(active);
}

TEST_F(DeviceManager, FileCallsReachTheEntryPointsWithTheCallersArguments) {
  ASSERT_NE(Activate(), nullptr);
  HANDLE device =
      CreateFileW(u"tst1:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  EXPECT_EQ(log_->opens.load(), 1);
  EXPECT_EQ(log_->openAccess, GENERIC_READ | GENERIC_WRITE);
  EXPECT_EQ(log_->openShare, FILE_SHARE_READ);
  EXPECT_NE(log_->openDevice, 0u);

  BYTE frame[64] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(device, frame, sizeof frame, &read, nullptr));
  EXPECT_EQ(read, sizeof frame);
  EXPECT_EQ(frame[63], kTestReadByte);
  EXPECT_EQ(log_->readBuffer, frame);
  EXPECT_EQ(log_->readCount, sizeof frame);
  const DWORD_PTR openContext = log_->readContext;

  BYTE in[4];
  BYTE out[8];
  DWORD counts[2] = {};
  ASSERT_TRUE(DeviceIoControl(device, 0x220004, in, 3, out, 5, counts, nullptr));
  EXPECT_EQ(log_->ioCode, 0x220004u);
  EXPECT_EQ(log_->ioIn, in);
  EXPECT_EQ(log_->ioInSize, 3u);
  EXPECT_EQ(log_->ioOut, out);
  EXPECT_EQ(log_->ioOutSize, 5u);
  EXPECT_EQ(log_->ioReturned, counts);  // the very pointer, not a copy
  EXPECT_EQ(counts[0], kTestIoBytes);
  // Values carried in the sizes with null buffers pass unchanged too.
  ASSERT_TRUE(DeviceIoControl(device, 0x220008, nullptr, 2, nullptr, 1, nullptr, nullptr));
  EXPECT_EQ(log_->ioIn, nullptr);
  EXPECT_EQ(log_->ioInSize, 2u);
  EXPECT_EQ(log_->ioOutSize, 1u);
  EXPECT_EQ(log_->ioReturned, nullptr);

  SetLastError(0);
  EXPECT_FALSE(DeviceIoControl(device, kTestRefusedCode, nullptr, 0, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));  // the driver's own error
  DWORD written = 7;
  EXPECT_FALSE(WriteFile(device, frame, 4, &written, nullptr));  // PPP_Write answered -1
  EXPECT_EQ(written, 0u);

  EXPECT_TRUE(CloseHandle(device));
  EXPECT_EQ(log_->closes.load(), 1);
  EXPECT_EQ(log_->closedContext, openContext);
  EXPECT_FALSE(ReadFile(device, frame, sizeof frame, &read, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(log_->reads.load(), 1);
}

TEST_F(DeviceManager, DriverRefusingTheOpenGivesItsError) {
  ASSERT_NE(Activate(), nullptr);
  log_->failOpen = true;
  EXPECT_EQ(Open(u"TST1:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(DeviceManager, DeactivationCallsDeinitRemovesTheKeyAndFreesTheNumber) {
  HANDLE first = Activate();
  ASSERT_NE(first, nullptr);
  const std::u16string firstKey = log_->activeKey;
  ASSERT_NE(Activate(), nullptr);
  EXPECT_TRUE(Deactivate(first));
  EXPECT_EQ(log_->deinits.load(), 1);
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, firstKey.c_str(), 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ActiveNames(u"TST"), std::vector<std::u16string>{u"TST2:"});
  EXPECT_EQ(Open(u"TST1:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_NE(Activate(), nullptr);
  EXPECT_EQ(std::u16string(log_->name), u"TST1:");  // the lowest free number again
  EXPECT_FALSE(DeactivateDevice(first));            // only once
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceManager, HandleUsedAfterDeactivationFailsCleanlyAndStillCloses) {
  HANDLE activation = Activate();
  ASSERT_NE(activation, nullptr);
  HANDLE device = Open(u"TST1:");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Deactivate(activation));
  EXPECT_EQ(log_->deinits.load(), 1);

  BYTE frame[16];
  DWORD read = 99;
  EXPECT_FALSE(ReadFile(device, frame, sizeof frame, &read, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(read, 0u);
  EXPECT_FALSE(DeviceIoControl(device, 1, nullptr, 0, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(log_->reads.load(), 0);  // the freed device was never reached
  EXPECT_EQ(log_->ioControls.load(), 0);

  EXPECT_TRUE(CloseHandle(device));
  EXPECT_EQ(log_->closes.load(), 1);
  EXPECT_FALSE(CloseHandle(device));
  EXPECT_EQ(log_->closes.load(), 1);
}

TEST_F(DeviceManager, LibraryStaysLoadedUntilTheLastHandleIsClosed) {
  FreeLibrary(module_);  // only the device manager holds the library from here on
  module_ = nullptr;
  log_ = nullptr;
  auto loaderCount = [](LPCWSTR valueName) {
    HKEY key = nullptr;
    DWORD count = 0;
    DWORD size = sizeof count;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEST_DRIVER_LOADER_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(&count), &size);
      RegCloseKey(key);
    }
    return count;
  };
  const DWORD detachedBefore = loaderCount(u"Detached");
  HANDLE activation = Activate();
  ASSERT_NE(activation, nullptr);
  HANDLE device = Open(u"TST1:");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Deactivate(activation));
  EXPECT_EQ(loaderCount(u"Detached"), detachedBefore);
  EXPECT_TRUE(CloseHandle(device));  // reaches TST_Close inside the still-loaded library
  EXPECT_EQ(loaderCount(u"Detached"), detachedBefore + 1);
}

TEST_F(DeviceManager, DeactivationWaitsForRunningCallsBeforeDeinit) {
  HANDLE activation = Activate();
  ASSERT_NE(activation, nullptr);
  HANDLE device = Open(u"TST1:");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  log_->readGate = gate;
  std::thread reader([device] {
    BYTE frame[8];
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(device, frame, sizeof frame, &read, nullptr));
    EXPECT_EQ(read, sizeof frame);
  });
  while (log_->reads == 0) Sleep(1);
  std::thread deactivator([&] { EXPECT_TRUE(Deactivate(activation)); });
  Sleep(50);
  EXPECT_EQ(log_->deinits.load(), 0);  // held back by the read in progress
  SetEvent(gate);
  reader.join();
  deactivator.join();
  EXPECT_EQ(log_->deinits.load(), 1);
  EXPECT_FALSE(log_->deinitOverlappedACall);
  log_->readGate = nullptr;
  EXPECT_TRUE(CloseHandle(device));
  CloseHandle(gate);
}

TEST_F(DeviceManager, CloseWaitsForTheCallsRunningOnItsHandle) {
  ASSERT_NE(Activate(), nullptr);
  HANDLE device = Open(u"TST1:");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  log_->readGate = gate;
  std::thread reader([device] {
    BYTE frame[8];
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(device, frame, sizeof frame, &read, nullptr));
  });
  while (log_->reads == 0) Sleep(1);
  std::thread closer([device] { EXPECT_TRUE(CloseHandle(device)); });
  Sleep(50);
  EXPECT_EQ(log_->closes.load(), 0);  // held back by the read on the same handle
  SetEvent(gate);
  reader.join();
  closer.join();
  EXPECT_EQ(log_->closes.load(), 1);
  EXPECT_FALSE(log_->closeOverlappedACall);
  log_->readGate = nullptr;
  CloseHandle(gate);
}

TEST_F(DeviceManager, ConcurrentCallsOnSeveralHandlesAllArrive) {
  ASSERT_NE(Activate(), nullptr);
  ASSERT_NE(Activate(), nullptr);
  std::vector<std::thread> users;
  for (const char16_t* name : {u"TST1:", u"TST2:", u"TST1:", u"TST2:"}) {
    users.emplace_back([name] {
      HANDLE device = Open(name);
      ASSERT_NE(device, INVALID_HANDLE_VALUE);
      BYTE frame[32];
      DWORD read = 0;
      for (int i = 0; i < 50; ++i) EXPECT_TRUE(ReadFile(device, frame, sizeof frame, &read, nullptr));
      EXPECT_TRUE(CloseHandle(device));
    });
  }
  for (auto& user : users) user.join();
  EXPECT_EQ(log_->reads.load(), 200);
  EXPECT_EQ(log_->closes.load(), 4);
}

TEST_F(DeviceManager, FailedInitUndoesTheActivation) {
  log_->failInit = true;
  SetLastError(0);
  EXPECT_EQ(Activate(), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEV_NOT_EXIST));
  EXPECT_TRUE(ActiveNames(u"TST").empty());
  log_->failInit = false;
  ASSERT_NE(Activate(), nullptr);
  EXPECT_EQ(std::u16string(log_->name), u"TST1:");  // the number was given back
}

TEST_F(DeviceManager, NumbersRunFromOneToNineOnly) {
  for (int i = 1; i <= 9; ++i) ASSERT_NE(Activate(), nullptr) << i;
  EXPECT_EQ(std::u16string(log_->name), u"TST9:");
  EXPECT_EQ(Activate(), nullptr);
  EXPECT_EQ(log_->inits.load(), 9);  // the tenth never reached PPP_Init
}

TEST_F(DeviceManager, BadInputGivesWin32Failures) {
  EXPECT_EQ(ActivateDevice(nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(ActivateDevice(u"Drivers\\NoSuchDriver", 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ActivateDevice(u"Drivers\\\\Bad", 0), nullptr);
  EXPECT_FALSE(DeactivateDevice(nullptr));
  EXPECT_FALSE(DeactivateDevice(INVALID_HANDLE_VALUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  EXPECT_EQ(Open(u"XYZ1:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Open(u"TST1:"), INVALID_HANDLE_VALUE);  // nothing active

  HANDLE activation = Activate();
  ASSERT_NE(activation, nullptr);
  EXPECT_FALSE(CloseHandle(activation));  // activations end with DeactivateDevice
  HANDLE device = Open(u"TST1:");
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  DWORD read = 5;
  EXPECT_FALSE(ReadFile(device, nullptr, 16, &read, nullptr));  // the driver's own answer
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(read, 0u);
  CloseHandle(device);

  // A driver key whose library lacks the prefix's entry points.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Drivers\\PlatformTests\\NoEntries", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SetString(key, u"Dll", u"TSTDRV.DLL");
  SetString(key, u"Prefix", u"ABC");
  RegCloseKey(key);
  EXPECT_EQ(ActivateDevice(u"Drivers\\PlatformTests\\NoEntries", 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

}  // namespace
