// The recorder's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camrec/recorder_options.h"
#include "testing/parsed_command_line.h"

namespace {

using Parsed = vtest::ParsedCommandLine<RecorderOptions>;

Parsed Parse(const std::vector<std::string>& words) {
  return vtest::ParseCommandLine(&RecorderCommandLine, {words.begin(), words.end()});
}

}  // namespace

TEST(RecorderOptions, DefaultsAskTheLocalServerForCameraZeroAtQuarterSize) {
  const Parsed parsed = Parse({});
  ASSERT_EQ(parsed.command, cli::Outcome::kRun);
  EXPECT_EQ(parsed.options.host, "127.0.0.1");
  EXPECT_EQ(parsed.options.port, 6022);
  EXPECT_EQ(parsed.options.stream.camera, 0);
  EXPECT_EQ(parsed.options.stream.sizeIndex, 1);
  EXPECT_EQ(parsed.options.stream.formatCode, 4);
  EXPECT_EQ(parsed.options.stream.frameRate, 25);
  EXPECT_FALSE(parsed.options.limits.frames.has_value());
  EXPECT_FALSE(parsed.options.limits.duration.has_value());
  EXPECT_EQ(parsed.options.aviPath, "camrec.avi");
  EXPECT_TRUE(parsed.options.jpegFolder.empty());
}

TEST(RecorderOptions, ValuesGoWhereTheyBelong) {
  const Parsed parsed = Parse({"--host", "camera.local", "--port=7000", "--camera", "2", "--size", "640x480", "--rate",
                               "30", "-n", "40", "-t", "2.5", "-o", "x.avi", "--connect-timeout", "3", "-q"});
  ASSERT_EQ(parsed.command, cli::Outcome::kRun) << parsed.error;
  EXPECT_EQ(parsed.options.host, "camera.local");
  EXPECT_EQ(parsed.options.port, 7000);
  EXPECT_EQ(parsed.options.stream.camera, 2);
  EXPECT_EQ(parsed.options.stream.sizeIndex, 0);
  EXPECT_EQ(parsed.options.stream.frameRate, 30);
  EXPECT_EQ(parsed.options.limits.frames, 40u);
  EXPECT_EQ(parsed.options.limits.duration, std::chrono::milliseconds(2500));
  EXPECT_EQ(parsed.options.aviPath, "x.avi");
  EXPECT_EQ(parsed.options.connectRetry, std::chrono::milliseconds(3000));
  EXPECT_TRUE(parsed.options.quiet);
}

TEST(RecorderOptions, OutOfRangeOrMalformedValuesAreErrors) {
  for (const auto& arguments : std::vector<std::vector<std::string>>{{"--rate", "0"},
                                                                     {"--rate", "31"},
                                                                     {"--size", "800x600"},
                                                                     {"--camera", "9"},
                                                                     {"--port", "0"},
                                                                     {"--frames", "0"},
                                                                     {"--frames", "-3"},
                                                                     {"--seconds", "0"},
                                                                     {"--seconds", "soon"},
                                                                     {"--rate"},
                                                                     {"--colour", "red"}}) {
    const Parsed parsed = Parse(arguments);
    EXPECT_EQ(parsed.command, cli::Outcome::kError) << arguments.front();
    EXPECT_FALSE(parsed.error.empty());
  }
}

TEST(RecorderOptions, HelpWinsOverEverythingElse) {
  EXPECT_EQ(Parse({"--rate", "5", "--help"}).command, cli::Outcome::kHelp);
  EXPECT_EQ(Parse({"-h"}).command, cli::Outcome::kHelp);
}
