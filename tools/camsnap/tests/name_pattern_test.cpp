// Snapshot names from a pattern: strftime fields and the picture number.
#include "camsnap/name_pattern.h"

#include <gtest/gtest.h>

namespace {

struct Expansion {
  const char* pattern;
  unsigned number;
  const char* name;
};

class NamePattern : public ::testing::TestWithParam<Expansion> {};

TEST_P(NamePattern, Expands) {
  std::tm time{};
  time.tm_year = 2010 - 1900;
  time.tm_mon = 2;
  time.tm_mday = 5;
  time.tm_hour = 9;
  time.tm_min = 4;
  time.tm_sec = 7;
  EXPECT_EQ(ExpandNamePattern(GetParam().pattern, GetParam().number, time), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Patterns, NamePattern,
                         ::testing::Values(Expansion{"snapshot-%Y%m%d-%H%M%S.jpg", 1, "snapshot-20100305-090407.jpg"},
                                           Expansion{"lapse-%n.jpg", 17, "lapse-17.jpg"}, Expansion{"%n-%n", 3, "3-3"},
                                           Expansion{"100%%-%n.jpg", 2, "100%-2.jpg"},
                                           Expansion{"%%n.jpg", 2, "%n.jpg"}, Expansion{"plain.jpg", 9, "plain.jpg"},
                                           Expansion{"dir/%Y/%n.jpg", 1, "dir/2010/1.jpg"},
                                           Expansion{"trailing%", 1, "trailing%"}, Expansion{"", 1, ""}));

TEST(NamePatternLimits, ANameTooLongIsEmpty) {
  const std::tm time{};
  EXPECT_EQ(ExpandNamePattern(std::string(5000, 'x'), 1, time), "");
}

}  // namespace
