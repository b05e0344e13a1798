// The conventions every program's command line follows.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Declared {
  int number = 7;
  std::string folder;
  std::string camera = "0";
  bool flag = false;
};

// A command line with the kinds of option the programs declare.
struct Example {
  Declared values;
  cli::CommandLine line{"example", "Does nothing, with options.", "The footer."};
  Example() {
    auto& options = line.Options();
    options.add_option("-n,--number", values.number, "a number")->type_name("N")->check(CLI::Range(1, 9));
    options.add_option("--folder", values.folder, "a folder")->type_name("DIR")->transform(cli::Folder());
    options.add_option("--camera", values.camera, "a camera")->type_name("N")->check(cli::CameraIndex());
    options.add_flag("--flag", values.flag, "a flag");
  }
  cli::Outcome Parse(const std::vector<std::string>& words) { return line.Parse(words); }
};

TEST(CommandLine, ValuesComeSeparateOrAfterAnEqualsSign) {
  for (const auto& words :
       std::vector<std::vector<std::string>>{{"--number", "3", "--folder", "a", "--camera", "8", "--flag"},
                                             {"--number=3", "--folder=a", "--camera=8", "--flag"},
                                             {"-n", "3", "--folder", "a/", "--camera=8", "--flag"}}) {
    Example example;
    ASSERT_EQ(example.Parse(words), cli::Outcome::kRun) << example.line.Error();
    EXPECT_EQ(example.values.number, 3);
    EXPECT_EQ(example.values.folder, "a/");
    EXPECT_EQ(example.values.camera, "8");
    EXPECT_TRUE(example.values.flag);
  }
  Example untouched;
  ASSERT_EQ(untouched.Parse({}), cli::Outcome::kRun);
  EXPECT_EQ(untouched.values.number, 7);
}

TEST(CommandLine, BadWordsGiveOneLineNamingTheOption) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--number", "0"}, "--number"},    {{"--number", "x"}, "--number"},
      {{"--number"}, "--number"},         {{"--folder", ""}, "--folder"},
      {{"--camera", "01"}, "--camera"},   {{"--camera", "9"}, "--camera"},
      {{"--frobnicate"}, "--frobnicate"}, {{"stray"}, "stray"},
      {{"--flag=maybe"}, "--flag"},
  };
  for (const auto& [words, named] : cases) {
    Example example;
    EXPECT_EQ(example.Parse(words), cli::Outcome::kError) << words[0];
    EXPECT_NE(example.line.Error().find(named), std::string::npos) << example.line.Error();
    EXPECT_EQ(example.line.Error().find('\n'), std::string::npos) << example.line.Error();
  }
}

TEST(CommandLine, HelpWinsAndVersionAnswers) {
  Example example;
  EXPECT_EQ(example.Parse({"--number", "0", "--frobnicate", "-h"}), cli::Outcome::kHelp);
  EXPECT_EQ(example.Parse({"--help"}), cli::Outcome::kHelp);
  EXPECT_EQ(example.Parse({"--version"}), cli::Outcome::kVersion);
  const std::string help = example.line.Help();
  EXPECT_EQ(help.rfind("Usage: example [options]\nDoes nothing, with options.\n", 0), 0u) << help;
  for (const char* part : {"-n, --number N", "--folder DIR", "-h, --help", "--version", "The footer."}) {
    EXPECT_NE(help.find(part), std::string::npos) << part << " in\n" << help;
  }
  EXPECT_STRNE(cli::Version(), "");
}

TEST(CommandLine, HandleGivesTheExitStatus) {
  Example example;
  const char* help[] = {"example", "--help"};
  const char* bad[] = {"example", "--number", "10"};
  const char* fine[] = {"example", "-n", "2"};
  testing::internal::CaptureStdout();
  EXPECT_EQ(example.line.Handle(2, help), 0);
  testing::internal::GetCapturedStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(example.line.Handle(3, bad), cli::kUsageError);
  EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("example: --number", 0), 0u);
  EXPECT_EQ(example.line.Handle(3, fine), std::nullopt);
}

}  // namespace

TEST(SecondsOption, KeepsMillisecondsAndRefusesWhatIsNoDuration) {
  for (const cli::Seconds range : {cli::Seconds::kPositive, cli::Seconds::kZeroAllowed}) {
    std::chrono::milliseconds plain{0};
    std::optional<std::chrono::milliseconds> optional;
    cli::CommandLine line("example", "Seconds.");
    cli::AddSecondsOption(line.Options(), "--wait", plain, "a wait", range);
    cli::AddSecondsOption(line.Options(), "--limit", optional, "a limit", range);
    ASSERT_EQ(line.Parse(std::vector<std::string>{"--wait", "1.25", "--limit=0.0004"}), cli::Outcome::kRun);
    EXPECT_EQ(plain, std::chrono::milliseconds(1250));
    EXPECT_EQ(optional, std::chrono::milliseconds(0));
    for (const char* bad : {"-1", "soon", "1s", "1e8", ""}) {
      EXPECT_EQ(line.Parse(std::vector<std::string>{"--wait", bad}), cli::Outcome::kError) << bad;
      EXPECT_NE(line.Error().find("--wait"), std::string::npos) << line.Error();
    }
    EXPECT_EQ(line.Parse(std::vector<std::string>{"--wait", "0"}),
              range == cli::Seconds::kZeroAllowed ? cli::Outcome::kRun : cli::Outcome::kError);
  }
}
