// The program's folder as the windowed programs find it from their own file name.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <filesystem>
#include <fstream>

#include "appcommon/program_directory.h"

TEST(ProgramDirectory, IsTheExecutablesFolderWithATrailingSlash) {
  const std::filesystem::path executable = std::filesystem::canonical("/proc/self/exe");
  const std::string folder = ProgramDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(std::filesystem::canonical(folder), executable.parent_path());
}

TEST(PictureFolder, IsTheProgramsFolderWhenItCanBeWrittenElseThePicturesFolder) {
  const std::string pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString() + '/';
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "picture-folder-test-file";
  std::ofstream(file).put('x');
  EXPECT_EQ(PictureFolderFor(ProgramDirectory()), ProgramDirectory());
  EXPECT_EQ(PictureFolderFor("/nonexistent-installed-folder/bin/"), pictures);
  EXPECT_EQ(PictureFolderFor(file.string() + "/"), pictures) << "a folder that cannot exist";
  EXPECT_TRUE(std::filesystem::is_directory(pictures));
  std::filesystem::remove(file);
}
