// A program's command line parsed from a list of words, for the programs' option tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace vtest {

template <typename Options>
struct ParsedCommandLine {
  cli::Outcome command{};
  Options options;
  std::string error;  // the one-line reason after cli::Outcome::kError
};

// `makeLine` is the program's own factory, such as TesslyCommandLine.
template <typename Options>
ParsedCommandLine<Options> ParseCommandLine(std::unique_ptr<cli::CommandLine> (*makeLine)(Options&),
                                            const std::vector<std::string>& words) {
  ParsedCommandLine<Options> parsed;
  const auto line = makeLine(parsed.options);
  parsed.command = line->Parse(words);
  parsed.error = line->Error();
  return parsed;
}

}  // namespace vtest
