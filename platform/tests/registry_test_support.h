// Small helpers for the registry tests: every test works below its own key.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/windows.h"

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = u"Software\\PlatformTests\\" + Utf8ToUtf16(test->test_suite_name()) + u"\\" + Utf8ToUtf16(test->name());
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
        ERROR_SUCCESS);
  }
  // Each test starts from an empty key, also when the tests run repeatedly.
  void TearDown() override {
    RegCloseKey(key_);
    DeleteTree(HKEY_LOCAL_MACHINE, path_);
  }

  static bool DeleteTree(HKEY parent, const std::u16string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    WCHAR name[MAX_PATH];
    DWORD length = MAX_PATH;
    while (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           DeleteTree(key, name)) {
      length = MAX_PATH;
    }
    RegCloseKey(key);
    return RegDeleteKeyW(parent, path.c_str()) == ERROR_SUCCESS;
  }

  LONG SetString(HKEY key, LPCWSTR name, const std::u16string& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
  }
  LONG SetDword(HKEY key, LPCWSTR name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  DWORD GetDword(HKEY key, LPCWSTR name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size), ERROR_SUCCESS);
    return value;
  }

  std::u16string path_;
  HKEY key_ = nullptr;
};
