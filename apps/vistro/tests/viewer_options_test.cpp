// vistro's command line: each option changes one start-up default; bad values are
// refused with a reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vistro/viewer_options.h"

namespace {

cli::Outcome Parse(const std::vector<std::string>& arguments, ViewerOptions& options, std::string& error) {
  const auto line = ViewerCommandLine(options);
  const cli::Outcome outcome = line->Parse(arguments);
  error = line->Error();
  return outcome;
}

TEST(ViewerOptions, DefaultsAreTheViewersOwn) {
  ViewerOptions options;
  std::string error;
  ASSERT_EQ(Parse({}, options, error), cli::Outcome::kRun);
  EXPECT_EQ(options.recordFile, "");
  EXPECT_FALSE(options.large);
  EXPECT_FALSE(options.fullScreen);
  EXPECT_EQ(options.snapshotDirectory, "");
  EXPECT_FALSE(options.depth.has_value());
}

TEST(ViewerOptions, EveryOptionIsTaken) {
  ViewerOptions options;
  std::string error;
  ASSERT_EQ(Parse({"--record", "/tmp/clip", "--size", "640x480", "--fullscreen", "--snapshot-dir", "/tmp/shots",
                   "--depth", "16"},
                  options, error),
            cli::Outcome::kRun)
      << error;
  EXPECT_EQ(options.recordFile, "/tmp/clip");
  EXPECT_TRUE(options.large);
  EXPECT_TRUE(options.fullScreen);
  EXPECT_EQ(options.snapshotDirectory, "/tmp/shots/");
  EXPECT_EQ(options.depth, 16u);
}

TEST(ViewerOptions, HelpWins) {
  ViewerOptions options;
  std::string error;
  EXPECT_EQ(Parse({"--size", "640x480", "--help"}, options, error), cli::Outcome::kHelp);
}

TEST(ViewerOptions, BadValuesAreRefusedWithAReason) {
  const std::vector<std::vector<std::string>> cases = {
      {"--size", "800x600"}, {"--depth", "8"},       {"--depth", "24bit"}, {"--record"},
      {"--record", ""},      {"--snapshot-dir", ""}, {"--frobnicate"},     {"--record", std::string(300, 'x')},
  };
  for (const auto& arguments : cases) {
    ViewerOptions options;
    std::string error;
    EXPECT_EQ(Parse(arguments, options, error), cli::Outcome::kError) << arguments[0];
    EXPECT_FALSE(error.empty()) << arguments[0];
  }
}

}  // namespace
