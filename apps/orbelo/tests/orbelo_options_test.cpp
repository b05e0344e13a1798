// Command-line options: defaults without options, each option's values, and clear
// errors for the rest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orbelo/orbelo_options.h"
#include "testing/parsed_command_line.h"

namespace {

using Parsed = vtest::ParsedCommandLine<OrbeloOptions>;

Parsed Parse(const std::vector<const char*>& words) {
  return vtest::ParseCommandLine(&OrbeloCommandLine, {words.begin(), words.end()});
}

TEST(OrbeloOptions, WithoutOptionsTheDisplayDepthAndTheCurrentFolderAreUsed) {
  const Parsed parsed = Parse({});
  EXPECT_EQ(parsed.command, cli::Outcome::kRun);
  EXPECT_FALSE(parsed.options.depth.has_value());
  EXPECT_EQ(parsed.options.saveDirectory, "");
}

TEST(OrbeloOptions, DepthAndFolderAreTaken) {
  for (const char* depth : {"16", "24", "32"}) {
    const Parsed parsed = Parse({"--depth", depth, "--save-dir", "/tmp/pictures"});
    ASSERT_EQ(parsed.command, cli::Outcome::kRun) << parsed.error;
    EXPECT_EQ(parsed.options.depth, static_cast<unsigned>(std::stoul(depth)));
    EXPECT_EQ(parsed.options.saveDirectory, "/tmp/pictures/");
  }
  EXPECT_EQ(Parse({"--save-dir", "out/"}).options.saveDirectory, "out/");
}

TEST(OrbeloOptions, HelpWinsOverEverythingAfterIt) {
  EXPECT_EQ(Parse({"--help"}).command, cli::Outcome::kHelp);
  EXPECT_EQ(Parse({"--depth", "16", "-h", "--bogus"}).command, cli::Outcome::kHelp);
}

TEST(OrbeloOptions, BadInputIsRefusedWithAReason) {
  for (const auto& words : {std::vector<const char*>{"--depth", "8"},
                            {"--depth", "24bit"},
                            {"--depth"},
                            {"--save-dir"},
                            {"--save-dir", ""},
                            {"--camera", "1"},
                            {"picture.bmp"}}) {
    const Parsed parsed = Parse(words);
    EXPECT_EQ(parsed.command, cli::Outcome::kError) << words[0];
    EXPECT_FALSE(parsed.error.empty()) << words[0];
  }
}

}  // namespace
