// The flash folder and the files written there: a folder of this user's alone by
// default, never a link or another user's, and files opened without following links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/cestring.h"
#include "platform/private_file.h"
#include "platform/windows.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 65534;  // nobody

class FlashFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"VELMAR_FLASH_DIR", "XDG_RUNTIME_DIR", "TMPDIR"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
    base_ = fs::temp_directory_path() / ("platform-flash-" + std::to_string(getpid()));
    fs::remove_all(base_);
    fs::create_directories(base_);
    setenv("TMPDIR", base_.c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    fs::remove_all(base_);
  }

  fs::path DefaultFolder() const { return base_ / ("velmar-flash-" + std::to_string(geteuid())); }
  static mode_t Permissions(const fs::path& path) {
    struct stat status {};
    lstat(path.c_str(), &status);
    return status.st_mode & 0777;
  }
  static std::string Contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
  }

  fs::path base_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(FlashFolder, DefaultIsAPrivateFolderOfTheUserUnderTheTemporaryFolder) {
  EXPECT_EQ(MapPlatformPath(u"\\residentflash\\except.jpg"), (DefaultFolder() / "except.jpg").string());
  EXPECT_EQ(Permissions(DefaultFolder()), 0700u);
}

TEST_F(FlashFolder, RuntimeFolderOfTheSessionIsPreferred) {
  fs::create_directory(base_ / "run");
  setenv("XDG_RUNTIME_DIR", (base_ / "run").c_str(), 1);
  EXPECT_EQ(MapPlatformPath(u"\\ResidentFlash\\except.jpg"), (base_ / "run/velmar-flash/except.jpg").string());
  EXPECT_EQ(Permissions(base_ / "run/velmar-flash"), 0700u);
  EXPECT_FALSE(fs::exists(DefaultFolder()));
}

TEST_F(FlashFolder, OwnFolderWithLoosePermissionsIsTightened) {
  fs::create_directory(DefaultFolder());
  chmod(DefaultFolder().c_str(), 0777);
  EXPECT_EQ(MapPlatformPath(u"\\residentflash\\except.jpg"), (DefaultFolder() / "except.jpg").string());
  EXPECT_EQ(Permissions(DefaultFolder()), 0700u);
}

struct Planted {
  const char* name;
  std::function<bool(const fs::path& folder, const fs::path& elsewhere)> plant;  // false: cannot here
};

std::string PlantedName(const ::testing::TestParamInfo<Planted>& planted) { return planted.param.name; }

class RefusedFolder : public FlashFolder, public ::testing::WithParamInterface<Planted> {};

TEST_P(RefusedFolder, IsNotUsedAndNothingIsWritten) {
  fs::create_directory(base_ / "elsewhere");
  if (!GetParam().plant(DefaultFolder(), base_ / "elsewhere")) GTEST_SKIP() << "needs root";
  EXPECT_EQ(MapPlatformPath(u"\\residentflash\\except.jpg"), "");
  EXPECT_EQ(CreateFileW(u"\\residentflash\\except.jpg", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreatePrivateFile(MapPlatformPath(u"\\residentflash\\except.jpg")), nullptr);
  EXPECT_TRUE(fs::is_empty(base_ / "elsewhere"));
}

INSTANTIATE_TEST_SUITE_P(Planted, RefusedFolder,
                         ::testing::Values(Planted{"LinkToAnotherFolder",
                                                   [](const fs::path& folder, const fs::path& elsewhere) {
                                                     fs::create_directory_symlink(elsewhere, folder);
                                                     return true;
                                                   }},
                                           Planted{"AnotherUsersFolder",
                                                   [](const fs::path& folder, const fs::path& elsewhere) {
                                                     fs::create_directory(folder);
                                                     chmod(folder.c_str(), 0777);
                                                     fs::remove(elsewhere);  // what lands in the folder shows there
                                                     fs::create_directory_symlink(folder, elsewhere);
                                                     return geteuid() == 0 &&
                                                            chown(folder.c_str(), kOtherUser, kOtherUser) == 0;
                                                   }},
                                           Planted{"PlainFile",
                                                   [](const fs::path& folder, const fs::path&) {
                                                     std::ofstream(folder).put('x');
                                                     return true;
                                                   }}),
                         PlantedName);

TEST_F(FlashFolder, PrivateFileIsNewOr0600AndReplacesTheUsersEarlierOne) {
  const fs::path path = base_ / "except.jpg";
  std::ofstream(path) << "an earlier, longer dump";
  chmod(path.c_str(), 0644);
  std::FILE* file = CreatePrivateFile(path.string());
  ASSERT_NE(file, nullptr);
  std::fputs("new", file);
  std::fclose(file);
  EXPECT_EQ(Contents(path), "new");
  EXPECT_EQ(Permissions(path), 0600u);

  fs::remove(path);
  file = CreatePrivateFile(path.string());
  ASSERT_NE(file, nullptr);
  std::fclose(file);
  EXPECT_EQ(Permissions(path), 0600u);
}

class RefusedFile : public FlashFolder, public ::testing::WithParamInterface<Planted> {};

// `folder` is the dump's path here, `elsewhere` a victim file with content.
TEST_P(RefusedFile, IsLeftAloneAndNothingIsWrittenThroughIt) {
  const fs::path dump = base_ / "except.jpg";
  const fs::path victim = base_ / "victim";
  std::ofstream(victim) << "keep";
  if (!GetParam().plant(dump, victim)) GTEST_SKIP() << "needs root";
  EXPECT_EQ(CreatePrivateFile(dump.string()), nullptr);
  EXPECT_EQ(Contents(victim), "keep");
}

INSTANTIATE_TEST_SUITE_P(
    Planted, RefusedFile,
    ::testing::Values(Planted{"SymbolicLink",
                              [](const fs::path& dump, const fs::path& victim) {
                                fs::create_symlink(victim, dump);
                                return true;
                              }},
                      Planted{"HardLink",
                              [](const fs::path& dump, const fs::path& victim) {
                                fs::create_hard_link(victim, dump);
                                return true;
                              }},
                      Planted{"Fifo",
                              [](const fs::path& dump, const fs::path&) { return mkfifo(dump.c_str(), 0666) == 0; }},
                      Planted{"AnotherUsersFile",
                              [](const fs::path& dump, const fs::path& victim) {
                                fs::rename(victim, dump);
                                fs::create_symlink(dump, victim);  // the victim's content is the dump's
                                return geteuid() == 0 && chown(dump.c_str(), kOtherUser, kOtherUser) == 0;
                              }}),
    PlantedName);

}  // namespace
