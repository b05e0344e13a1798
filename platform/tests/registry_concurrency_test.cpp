// The registry under concurrent writers and readers.
#include <thread>
#include <vector>

#include "registry_test_support.h"

namespace {

using RegistryConcurrency = RegistryTest;

TEST_F(RegistryConcurrency, WritersOnSeveralThreadsLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kValuesPerThread = 200;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([this, t] {
      WCHAR name[32];
      for (int i = 0; i < kValuesPerThread; ++i) {
        // Each thread its own values, and all of them one shared key and counter value.
        FormatWide(name, 32, u"T%dV%d", t, i);
        EXPECT_EQ(SetDword(key_, name, static_cast<DWORD>(t * 1000 + i)), ERROR_SUCCESS);
        HKEY shared = nullptr;
        EXPECT_EQ(RegCreateKeyExW(key_, u"Shared\\Key", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &shared, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(SetDword(shared, u"Last", static_cast<DWORD>(t)), ERROR_SUCCESS);
        EXPECT_EQ(RegCloseKey(shared), ERROR_SUCCESS);
      }
    });
  }
  std::thread reader([this] {
    DWORD values = 0;
    for (int i = 0; i < 200; ++i) {
      EXPECT_EQ(RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                                 nullptr, nullptr),
                ERROR_SUCCESS);
      WCHAR name[32];
      DWORD length = 32;
      const LONG status =
          RegEnumValueW(key_, values > 0 ? values - 1 : 0, name, &length, nullptr, nullptr, nullptr, nullptr);
      EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_NO_MORE_ITEMS);
    }
  });
  for (auto& writer : writers) writer.join();
  reader.join();

  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, static_cast<DWORD>(kThreads * kValuesPerThread));
  WCHAR name[32];
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kValuesPerThread; i += 37) {
      FormatWide(name, 32, u"t%dv%d", t, i);  // any letter case finds it
      EXPECT_EQ(GetDword(key_, name), static_cast<DWORD>(t * 1000 + i));
    }
  }
}

}  // namespace
