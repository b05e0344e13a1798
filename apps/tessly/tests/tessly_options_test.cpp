// Command-line options: defaults without options, each option's values, and clear
// errors for the rest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessly_options.h"

namespace {

struct Parsed {
  TesslyCommand command;
  TesslyOptions options;
  std::string error;
};

Parsed Parse(const std::vector<const char*>& words) {
  std::vector<std::string> storage{"tessly"};
  storage.insert(storage.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& word : storage) argv.push_back(word.data());
  Parsed parsed{};
  parsed.command = ParseTesslyOptions(static_cast<int>(argv.size()), argv.data(), parsed.options, parsed.error);
  return parsed;
}

TEST(TesslyOptions, WithoutOptionsTheFirstCameraAndTheProgramFolderAreUsed) {
  const Parsed parsed = Parse({});
  EXPECT_EQ(parsed.command, TesslyCommand::kRun);
  EXPECT_EQ(parsed.options.camera, 0);
  EXPECT_EQ(parsed.options.saveDirectory, "");
}

TEST(TesslyOptions, CameraAndFolderAreTaken) {
  const Parsed parsed = Parse({"--camera", "8", "--save-dir", "snaps"});
  ASSERT_EQ(parsed.command, TesslyCommand::kRun) << parsed.error;
  EXPECT_EQ(parsed.options.camera, 8);
  EXPECT_EQ(parsed.options.saveDirectory, "snaps/");
  EXPECT_EQ(Parse({"--camera", "0"}).options.camera, 0);
}

TEST(TesslyOptions, HelpWinsOverEverythingAfterIt) {
  EXPECT_EQ(Parse({"--help"}).command, TesslyCommand::kHelp);
  EXPECT_EQ(Parse({"--camera", "2", "-h", "--bogus"}).command, TesslyCommand::kHelp);
}

TEST(TesslyOptions, BadInputIsRefusedWithAReason) {
  for (const auto& words : {std::vector<const char*>{"--camera", "9"}, {"--camera", "-1"}, {"--camera", "01"},
                            {"--camera", "x"}, {"--camera"}, {"--save-dir"}, {"--save-dir", ""}, {"--depth", "16"},
                            {"snap.jpg"}}) {
    const Parsed parsed = Parse(words);
    EXPECT_EQ(parsed.command, TesslyCommand::kError) << words[0];
    EXPECT_FALSE(parsed.error.empty()) << words[0];
  }
}

}  // namespace
