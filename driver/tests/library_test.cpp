// The shared library as the loader sees it: the entry points by name, and nothing else.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/cestring.h"
#include "platform/windows.h"

namespace {

TEST(DriverLibraryTest, ExportsEveryEntryPoint) {
  const std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  HMODULE library = LoadLibraryW(Utf8ToUtf16((folder / "libvelmar.so").string()).c_str());
  ASSERT_NE(library, nullptr) << GetLastError();
  for (const char16_t* name : {u"USBInstallDriver", u"USBUnInstallDriver", u"USBDeviceAttach", u"VLM_Init",
                               u"VLM_Deinit", u"VLM_Open", u"VLM_Close", u"VLM_Read", u"VLM_Write", u"VLM_Seek",
                               u"VLM_PowerUp", u"VLM_PowerDown", u"VLM_IOControl", u"DllMain"}) {
    EXPECT_NE(GetProcAddressW(library, name), nullptr) << Utf16ToUtf8(name);
  }
  // The driver's inner routines stay inside.
  EXPECT_EQ(GetProcAddressW(library, u"_Z11VendorWriteP9VlmDevicejtjPvt"), nullptr);
  EXPECT_TRUE(FreeLibrary(library));
}

}  // namespace
