// Snapshot names and new-file writing: the date-and-time name, and a second save of the
// same name that must keep the first file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "appcommon/snapshot_file.h"
#include "platform/winbase.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SnapshotFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("appcommon-snap-" + std::to_string(getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Folder() const { return folder_.string() + "/"; }

  fs::path folder_;
};

TEST(SnapshotStem, IsTheDateAndTimeWithTwoDigitFields) {
  SYSTEMTIME time{};
  time.wYear = 2010;
  time.wMonth = 3;
  time.wDay = 5;
  time.wHour = 9;
  time.wMinute = 4;
  time.wSecond = 7;
  EXPECT_EQ(SnapshotStem(time), "20100305090407");
  time.wYear = 987;  // the year is not padded
  time.wMonth = 12;
  time.wDay = 31;
  time.wHour = 23;
  time.wMinute = 59;
  time.wSecond = 58;
  EXPECT_EQ(SnapshotStem(time), "9871231235958");
}

TEST_F(SnapshotFolder, SecondFileOfOneNameGetsANumberAndTheFirstStays) {
  const std::vector<uint8_t> first{0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
  const std::vector<uint8_t> second{0xFF, 0xD8, 9, 0xFF, 0xD9};
  const std::vector<uint8_t> third{0xFF, 0xD8, 7, 7, 0xFF, 0xD9};

  const std::string firstPath = WriteNewFile(Folder(), "20100305090407", ".jpg", first);
  const std::string secondPath = WriteNewFile(Folder(), "20100305090407", ".jpg", second);
  const std::string thirdPath = WriteNewFile(Folder(), "20100305090407", ".jpg", third);

  EXPECT_EQ(firstPath, Folder() + "20100305090407.jpg");
  EXPECT_EQ(secondPath, Folder() + "20100305090407-2.jpg");
  EXPECT_EQ(thirdPath, Folder() + "20100305090407-3.jpg");
  EXPECT_EQ(ReadAll(firstPath), first);
  EXPECT_EQ(ReadAll(secondPath), second);
  EXPECT_EQ(ReadAll(thirdPath), third);
}

TEST_F(SnapshotFolder, MissingFolderWritesNothing) {
  const std::vector<uint8_t> bytes{1, 2, 3};
  EXPECT_EQ(WriteNewFile(Folder() + "absent/", "x", ".jpg", bytes), "");
  EXPECT_TRUE(fs::is_empty(folder_));
}

TEST_F(SnapshotFolder, SnapshotIsNamedByTheLocalTime) {
  const std::vector<uint8_t> jpeg{0xFF, 0xD8, 0xFF, 0xD9};
  SYSTEMTIME before{}, after{};
  GetLocalTime(&before);
  const std::string path = SaveSnapshot(Folder(), jpeg);
  GetLocalTime(&after);

  ASSERT_FALSE(path.empty());
  const std::string name = fs::path(path).filename().string();
  EXPECT_TRUE(name == SnapshotStem(before) + ".jpg" || name == SnapshotStem(after) + ".jpg") << name;
  EXPECT_EQ(ReadAll(path), jpeg);
}

}  // namespace
