// camsnap's command line.
#include <gtest/gtest.h>

#include "camsnap/snapshot_options.h"
#include "testing/parsed_command_line.h"

namespace {

using Parsed = vtest::ParsedCommandLine<SnapshotOptions>;

Parsed Parse(const std::vector<std::string>& words) {
  return vtest::ParseCommandLine(&SnapshotCommandLine, {words.begin(), words.end()});
}

TEST(SnapshotOptions, DefaultsAndValues) {
  const Parsed defaults = Parse({});
  ASSERT_EQ(defaults.command, cli::Outcome::kRun);
  EXPECT_EQ(defaults.options.camera, 0);
  EXPECT_EQ(defaults.options.sizeIndex, 1u);
  EXPECT_EQ(defaults.options.count, 1u);
  EXPECT_EQ(defaults.options.pattern, "snapshot-%Y%m%d-%H%M%S.jpg");
  EXPECT_FALSE(defaults.options.lightMode.has_value());
  EXPECT_FALSE(defaults.options.overwrite);

  const Parsed parsed = Parse({"-d", "2", "-r", "640x480", "--skip", "5", "--delay=1.5", "--count", "3", "--interval",
                               "0.25", "--light-mode", "outdoor", "--exposure", "0", "-o", "x-%n.jpg", "-y"});
  ASSERT_EQ(parsed.command, cli::Outcome::kRun) << parsed.error;
  EXPECT_EQ(parsed.options.camera, 2);
  EXPECT_EQ(parsed.options.sizeIndex, 0u);
  EXPECT_EQ(parsed.options.skip, 5u);
  EXPECT_EQ(parsed.options.delay, std::chrono::milliseconds(1500));
  EXPECT_EQ(parsed.options.count, 3u);
  EXPECT_EQ(parsed.options.interval, std::chrono::milliseconds(250));
  EXPECT_EQ(parsed.options.lightMode, 2u);
  EXPECT_EQ(parsed.options.exposure, 0u);
  EXPECT_EQ(parsed.options.pattern, "x-%n.jpg");
  EXPECT_TRUE(parsed.options.overwrite);
  EXPECT_EQ(Parse({"--light-mode", "50hz"}).options.lightMode, 0u);
}

TEST(SnapshotOptions, BadValuesAreUsageErrors) {
  for (const auto& words : std::vector<std::vector<std::string>>{{"-r", "800x600"},
                                                                 {"-d", "9"},
                                                                 {"--exposure", "101"},
                                                                 {"--light-mode", "indoor"},
                                                                 {"--count", "0"},
                                                                 {"--interval", "-1"},
                                                                 {"--delay", "soon"},
                                                                 {"-o", "-", "--count", "2"},
                                                                 {"-o", ""}}) {
    const Parsed parsed = Parse(words);
    EXPECT_EQ(parsed.command, cli::Outcome::kError) << words.front() << " " << words.back();
    EXPECT_FALSE(parsed.error.empty());
  }
}

}  // namespace
