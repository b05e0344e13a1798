// Command-line options: defaults without options, each option's values, and clear
// errors for the rest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessly/tessly_options.h"
#include "testing/parsed_command_line.h"

namespace {

using Parsed = vtest::ParsedCommandLine<TesslyOptions>;

Parsed Parse(const std::vector<const char*>& words) {
  return vtest::ParseCommandLine(&TesslyCommandLine, {words.begin(), words.end()});
}

TEST(TesslyOptions, WithoutOptionsTheFirstCameraAndTheProgramFolderAreUsed) {
  const Parsed parsed = Parse({});
  EXPECT_EQ(parsed.command, cli::Outcome::kRun);
  EXPECT_EQ(parsed.options.camera, 0);
  EXPECT_EQ(parsed.options.saveDirectory, "");
}

TEST(TesslyOptions, CameraAndFolderAreTaken) {
  const Parsed parsed = Parse({"--camera", "8", "--save-dir", "snaps"});
  ASSERT_EQ(parsed.command, cli::Outcome::kRun) << parsed.error;
  EXPECT_EQ(parsed.options.camera, 8);
  EXPECT_EQ(parsed.options.saveDirectory, "snaps/");
  EXPECT_EQ(Parse({"--camera", "0"}).options.camera, 0);
}

TEST(TesslyOptions, HelpWinsOverEverythingAfterIt) {
  EXPECT_EQ(Parse({"--help"}).command, cli::Outcome::kHelp);
  EXPECT_EQ(Parse({"--camera", "2", "-h", "--bogus"}).command, cli::Outcome::kHelp);
}

TEST(TesslyOptions, BadInputIsRefusedWithAReason) {
  for (const auto& words : {std::vector<const char*>{"--camera", "9"},
                            {"--camera", "-1"},
                            {"--camera", "01"},
                            {"--camera", "x"},
                            {"--camera"},
                            {"--save-dir"},
                            {"--save-dir", ""},
                            {"--depth", "16"},
                            {"snap.jpg"}}) {
    const Parsed parsed = Parse(words);
    EXPECT_EQ(parsed.command, cli::Outcome::kError) << words[0];
    EXPECT_FALSE(parsed.error.empty()) << words[0];
  }
}

}  // namespace
