// camweb's command line: the port, the address and the credentials, and one-line errors.
#include <gtest/gtest.h>

#include "camweb/camweb_options.h"
#include "testing/parsed_command_line.h"

namespace {

auto Parse(std::initializer_list<std::string> words) {
  return vtest::ParseCommandLine(&CamwebCommandLine, {words.begin(), words.end()});
}

TEST(CamwebOptions, DefaultsServeLoopbackOnPort8080WithoutAuthentication) {
  const auto parsed = Parse({});
  ASSERT_EQ(parsed.command, cli::Outcome::kRun);
  EXPECT_EQ(parsed.options.port, 8080);
  EXPECT_EQ(parsed.options.bind, "127.0.0.1");
  EXPECT_FALSE(parsed.options.auth.has_value());
}

TEST(CamwebOptions, TakesPortAddressAndCredentials) {
  const auto parsed = Parse({"--port=9000", "--bind", "::1", "--auth", "ann:se:cret"});
  ASSERT_EQ(parsed.command, cli::Outcome::kRun) << parsed.error;
  EXPECT_EQ(parsed.options.port, 9000);
  EXPECT_EQ(parsed.options.bind, "::1");
  EXPECT_EQ(parsed.options.auth, "ann:se:cret");
}

class BadOption : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BadOption, IsOneLineNamingTheOption) {
  const auto& words = GetParam();
  const auto parsed = vtest::ParseCommandLine(&CamwebCommandLine, words);
  EXPECT_EQ(parsed.command, cli::Outcome::kError);
  EXPECT_NE(parsed.error.find(words[0].substr(0, words[0].find('='))), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Words, BadOption,
    ::testing::Values(std::vector<std::string>{"--port", "0"}, std::vector<std::string>{"--port=65536"},
                      std::vector<std::string>{"--bind", "localhost"}, std::vector<std::string>{"--auth", "nocolon"},
                      std::vector<std::string>{"--auth", ":password"}, std::vector<std::string>{"--colour"}));

}  // namespace
