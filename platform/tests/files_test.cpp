// Files on ordinary paths through CreateFileW, ReadFile, WriteFile and CloseHandle.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/windows.h"

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = Utf8ToUtf16(std::string(::testing::TempDir()) + "platform-files-" + test->name() + ".bin");
    std::remove(Utf16ToUtf8(path_).c_str());
  }
  void TearDown() override { std::remove(Utf16ToUtf8(path_).c_str()); }

  HANDLE Open(DWORD access, DWORD creation) {
    return CreateFileW(path_.c_str(), access, 0, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  std::u16string path_;
};

TEST_F(Files, WrittenBytesReadBack) {
  HANDLE file = Open(GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const char text[] = "frame data";
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file, text, sizeof text, &written, nullptr));
  EXPECT_EQ(written, sizeof text);
  ASSERT_TRUE(CloseHandle(file));

  file = Open(GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char back[64] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(file, back, sizeof back, &read, nullptr));
  EXPECT_EQ(read, sizeof text);  // stops at the end of the file
  EXPECT_STREQ(back, text);
  ASSERT_TRUE(ReadFile(file, back, sizeof back, &read, nullptr));
  EXPECT_EQ(read, 0u);  // at the end: success with no bytes, as on Win32
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Files, CreationModesFollowWin32) {
  EXPECT_EQ(Open(GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Open(GENERIC_WRITE, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);

  HANDLE file = Open(GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "abc", 3, &written, nullptr);
  CloseHandle(file);
  EXPECT_EQ(Open(GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

  file = Open(GENERIC_READ, OPEN_ALWAYS);  // exists: opened, contents kept
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  char back[8] = {};
  DWORD read = 0;
  ReadFile(file, back, sizeof back, &read, nullptr);
  EXPECT_EQ(read, 3u);
  CloseHandle(file);

  file = Open(GENERIC_WRITE, CREATE_ALWAYS);  // exists: truncated
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(file);
  file = Open(GENERIC_READ, OPEN_EXISTING);
  ReadFile(file, back, sizeof back, &read, nullptr);
  EXPECT_EQ(read, 0u);
  CloseHandle(file);

  EXPECT_EQ(Open(GENERIC_READ, 99), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Files, BackslashPathsAndTheFlashFolderWork) {
  const std::string folder = std::string(::testing::TempDir()) + "platform-files-flash";
  setenv("VELMAR_FLASH_DIR", folder.c_str(), 1);
  HANDLE file = CreateFileW(u"\\residentflash\\except.jpg", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  unsetenv("VELMAR_FLASH_DIR");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, "\xFF\xD8", 2, &written, nullptr));
  CloseHandle(file);
  const std::string dumped = folder + "/except.jpg";
  FILE* check = std::fopen(dumped.c_str(), "rb");
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(std::fgetc(check), 0xFF);
  std::fclose(check);
  std::remove(dumped.c_str());
}

TEST_F(Files, DiskFullIsReportedAsSuch) {
  HANDLE full = CreateFileW(u"\\dev\\full", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (full == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no /dev/full here";
  DWORD written = 1;
  EXPECT_FALSE(WriteFile(full, "x", 1, &written, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(written, 0u);
  CloseHandle(full);
}

TEST_F(Files, BadInputFailsCleanly) {
  EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(CreateFileW(u"", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  DWORD done = 0;
  char buffer[4];
  EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, buffer, 4, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_FALSE(WriteFile(event, buffer, 4, &done, nullptr));  // not a file
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CloseHandle(event);

  HANDLE file = Open(GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  EXPECT_FALSE(ReadFile(file, nullptr, 4, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(WriteFile(file, nullptr, 4, &done, nullptr));
  EXPECT_TRUE(WriteFile(file, buffer, 0, nullptr, nullptr));  // no count wanted: fine
  EXPECT_FALSE(DeviceIoControl(file, 1, nullptr, 0, nullptr, 0, &done, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  CloseHandle(file);
}

}  // namespace
