// The registry: keys, values, enumeration, information and the Win32 error answers.
#include <vector>

#include "registry_test_support.h"

namespace {

using Registry = RegistryTest;

TEST_F(Registry, CreatedKeyOpensByAbsolutePathInAnyLetterCase) {
  HKEY child = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(key_, u"Drivers\\VELMAR", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(SetString(child, u"Dll", u"VELMAR.DLL"), ERROR_SUCCESS);
  RegCloseKey(child);

  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key_, u"DRIVERS\\velmar", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(again);

  HKEY opened = nullptr;
  const std::u16string absolute = u"\\" + path_ + u"\\drivers\\Velmar";
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, absolute.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS);
  WCHAR text[32];
  DWORD size = sizeof text;
  DWORD type = REG_NONE;
  ASSERT_EQ(RegQueryValueExW(opened, u"DLL", nullptr, &type, reinterpret_cast<LPBYTE>(text), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 22u);  // 10 characters and the terminator
  EXPECT_EQ(std::u16string(text), u"VELMAR.DLL");
  RegCloseKey(opened);
}

TEST_F(Registry, MissingKeysAndValuesAnswerFileNotFound) {
  HKEY missing = nullptr;
  EXPECT_EQ(RegOpenKeyExW(key_, u"Nowhere", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key_, u"Nothing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key_, u"Nothing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(key_, u"Nowhere"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, ValueTypesKeepTheirBytes) {
  const DWORD dword = 0x0AC8;
  const uint64_t qword = 0x123456789ABCDEF0ULL;
  const BYTE binary[] = {0, 1, 2, 0xFF};
  ASSERT_EQ(SetDword(key_, u"Vendor", dword), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key_, u"Pointer", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&qword), sizeof qword),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key_, u"Blob", 0, REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(key_, u"vendor"), dword);
  uint64_t backQ = 0;
  DWORD size = sizeof backQ;
  DWORD type = REG_NONE;
  ASSERT_EQ(RegQueryValueExW(key_, u"Pointer", nullptr, &type, reinterpret_cast<LPBYTE>(&backQ), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_QWORD);
  EXPECT_EQ(backQ, qword);
  BYTE backB[8] = {};
  size = sizeof backB;
  ASSERT_EQ(RegQueryValueExW(key_, u"Blob", nullptr, &type, backB, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, sizeof binary);
  EXPECT_EQ(std::vector<BYTE>(backB, backB + size), std::vector<BYTE>(binary, binary + sizeof binary));
  // Setting again replaces type and data.
  ASSERT_EQ(SetString(key_, u"VENDOR", u"x"), ERROR_SUCCESS);
  size = 0;
  ASSERT_EQ(RegQueryValueExW(key_, u"Vendor", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 4u);
}

TEST_F(Registry, MultiStringSizeCountsEveryTerminator) {
  const char16_t list[] = u"Port1\0VLM1:\0";  // two strings and the final empty one
  const DWORD bytes = (6 + 6 + 1) * sizeof(WCHAR);
  ASSERT_EQ(sizeof list, bytes);
  ASSERT_EQ(RegSetValueExW(key_, u"List", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list), bytes), ERROR_SUCCESS);
  DWORD size = 0;
  DWORD type = REG_NONE;
  ASSERT_EQ(RegQueryValueExW(key_, u"List", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_MULTI_SZ);
  EXPECT_EQ(size, 26u);
  WCHAR back[13];
  ASSERT_EQ(RegQueryValueExW(key_, u"List", nullptr, nullptr, reinterpret_cast<LPBYTE>(back), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(back, 12), std::u16string(list, 12));
}

TEST_F(Registry, TooSmallBufferAnswersMoreDataWithTheNeededSize) {
  ASSERT_EQ(SetString(key_, u"Name", u"VLM1:"), ERROR_SUCCESS);
  WCHAR small[3] = {u'#', u'#', u'#'};
  DWORD size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key_, u"Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(small[0], u'#');  // nothing half-written
  // No data pointer: only the size.
  size = 0;
  EXPECT_EQ(RegQueryValueExW(key_, u"Name", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 12u);
  // A data pointer without a size is refused.
  EXPECT_EQ(RegQueryValueExW(key_, u"Name", nullptr, nullptr, reinterpret_cast<LPBYTE>(small), nullptr),
            ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, EnumerationListsKeysSortedAndValuesInOrderThenEnds) {
  for (const char16_t* name : {u"02", u"01", u"Beta", u"alpha"}) {
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExW(key_, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), ERROR_SUCCESS);
    RegCloseKey(sub);
  }
  std::vector<std::u16string> keys;
  WCHAR name[MAX_PATH];
  for (DWORD index = 0;; ++index) {
    DWORD length = MAX_PATH;
    const LONG status = RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(status, ERROR_SUCCESS);
    EXPECT_EQ(length, WideLength(name));
    keys.emplace_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::u16string>{u"01", u"02", u"alpha", u"Beta"}));

  SetDword(key_, u"Second", 2);
  SetString(key_, u"First", u"one");
  DWORD length = 3;  // too small for "Second"
  EXPECT_EQ(RegEnumValueW(key_, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(length, 7u);
  length = MAX_PATH;
  DWORD type = REG_NONE;
  DWORD value = 0;
  DWORD size = sizeof value;
  ASSERT_EQ(RegEnumValueW(key_, 0, name, &length, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"Second");
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 2u);
  length = MAX_PATH;
  ASSERT_EQ(RegEnumValueW(key_, 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"First");
  length = MAX_PATH;
  EXPECT_EQ(RegEnumValueW(key_, 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  length = 2;  // "01" needs 3 with its terminator
  EXPECT_EQ(RegEnumKeyExW(key_, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(length, 3u);
}

TEST_F(Registry, InfoReportsCountsAndLongestEntries) {
  HKEY sub = nullptr;
  RegCreateKeyExW(key_, u"LongerName", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
  RegCloseKey(sub);
  RegCreateKeyExW(key_, u"S", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
  RegCloseKey(sub);
  SetString(key_, u"Dll", u"VELMAR.DLL");
  SetDword(key_, u"Level", 7);
  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValue = 0;
  FILETIME written{};
  ASSERT_EQ(RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxValueName,
                             &maxValue, nullptr, &written),
            ERROR_SUCCESS);
  EXPECT_EQ(subKeys, 2u);
  EXPECT_EQ(maxSubKey, 10u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxValueName, 5u);
  EXPECT_EQ(maxValue, 22u);
  // A write time after 2020 in Win32's count of 100 ns since 1601.
  const uint64_t ticks = (uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
  EXPECT_GT(ticks, 132223104000000000ULL);
}

TEST_F(Registry, DeleteRemovesValuesAndLeafKeysOnly) {
  SetDword(key_, u"Gone", 1);
  EXPECT_EQ(RegDeleteValueW(key_, u"GONE"), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key_, u"Gone", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);

  HKEY leaf = nullptr;
  ASSERT_EQ(RegCreateKeyExW(key_, u"Parent\\Leaf", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &leaf, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(key_, u"Parent"), ERROR_ACCESS_DENIED);  // has a sub-key
  EXPECT_EQ(RegDeleteKeyW(key_, u"parent\\LEAF"), ERROR_SUCCESS);
  // The handle still open on the deleted key answers, and does not crash.
  EXPECT_EQ(SetDword(leaf, u"x", 1), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(leaf), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(key_, u"Parent"), ERROR_SUCCESS);
  HKEY again = nullptr;
  EXPECT_EQ(RegOpenKeyExW(key_, u"Parent", 0, KEY_READ, &again), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, MalformedPathsAndBadArgumentsGiveWin32Errors) {
  HKEY result = nullptr;
  for (const char16_t* bad : {u"a\\\\b", u"a\\", u"\\\\a"}) {
    EXPECT_EQ(RegCreateKeyExW(key_, bad, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &result, nullptr), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExW(key_, bad, 0, KEY_READ, &result), ERROR_BAD_PATHNAME);
  }
  EXPECT_EQ(RegOpenKeyExW(key_, u"x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(key_, u"x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExW(key_, u"x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyW(key_, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegEnumKeyExW(key_, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);

  HKEY closed = nullptr;
  ASSERT_EQ(RegOpenKeyExW(key_, nullptr, 0, KEY_READ, &closed), ERROR_SUCCESS);  // the same key again
  ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(closed, u"x", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExW(nullptr, u"x", 0, REG_DWORD, nullptr, 0), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(closed, u"x", 0, KEY_READ, &result), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryInfoKeyW(closed, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_INVALID_HANDLE);
}

}  // namespace
