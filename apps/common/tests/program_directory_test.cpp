// The program's folder as the windowed programs find it from their own file name.
#include <gtest/gtest.h>

#include <filesystem>

#include "appcommon/program_directory.h"

TEST(ProgramDirectory, IsTheExecutablesFolderWithATrailingSlash) {
  const std::filesystem::path executable = std::filesystem::canonical("/proc/self/exe");
  const std::string folder = ProgramDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(std::filesystem::canonical(folder), executable.parent_path());
}
