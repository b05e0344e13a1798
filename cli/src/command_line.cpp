#include "cli/command_line.h"

#include <charconv>

#include <cstdio>
#include <memory>

namespace cli {
namespace {

// Help as the programs have always printed it: the usage line first, then what the
// program does, the options ("-h, --help  TEXT") and the footer.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App* app, std::string name) const override {
    std::string usage = "Usage: " + name + " [options]\n";
    if (!app->get_description().empty()) usage += app->get_description() + "\n";
    return usage;
  }
  std::string make_description(const CLI::App*) const override { return {}; }
  std::string make_option_name(const CLI::Option* option, bool) const override {
    std::string names;
    for (const std::string& name : option->get_snames()) names += (names.empty() ? "-" : ", -") + name;
    for (const std::string& name : option->get_lnames()) names += (names.empty() ? "--" : ", --") + name;
    return names;
  }
  // The value's name alone: CLI11 would append what its checks accept.
  std::string make_option_opts(const CLI::Option* option) const override {
    if (option->get_type_size() == 0) return {};
    const std::string type = option->get_type_name();
    return " " + type.substr(0, type.find(':'));
  }
  std::string make_footer(const CLI::App* app) const override {
    return app->get_footer().empty() ? std::string() : app->get_footer() + "\n";
  }
};

// CLI11's message for arguments nobody declared lists them all; name the first.
std::string ExtrasMessage(const std::vector<std::string>& extras) {
  const std::string& first = extras.front();
  if (first.size() > 1 && first[0] == '-') return "unknown option '" + first + "'";
  return "unexpected argument '" + first + "'";
}

}  // namespace

CommandLine::CommandLine(std::string program, std::string summary, std::string footer)
    : program_(std::move(program)), app_(std::move(summary), program_) {
  app_.formatter(std::make_shared<HelpFormatter>());
  app_.get_formatter()->column_width(24);
  app_.set_help_flag("-h,--help", "show this help");
  app_.set_version_flag("--version", Version(), "show the version");
  app_.footer(std::move(footer));
  app_.option_defaults()->always_capture_default(false);
}

Outcome CommandLine::Parse(int argc, const char* const* argv) {
  error_.clear();
  // Help wins even over a bad value before it.
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (word == "-h" || word == "--help") return Outcome::kHelp;
  }
  try {
    app_.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    return Outcome::kHelp;
  } catch (const CLI::CallForVersion&) {
    return Outcome::kVersion;
  } catch (const CLI::ExtrasError&) {
    error_ = ExtrasMessage(app_.remaining());
    return Outcome::kError;
  } catch (const CLI::ArgumentMismatch& failure) {
    // CLI11 says "--opt: 1 required TYPE missing".
    const std::string text = failure.what();
    error_ = text.substr(0, text.find(':')) + " needs a value";
    return Outcome::kError;
  } catch (const CLI::ParseError& failure) {
    error_ = failure.what();
    return Outcome::kError;
  }
  return Outcome::kRun;
}

Outcome CommandLine::Parse(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv{program_.c_str()};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  return Parse(static_cast<int>(argv.size()), argv.data());
}

std::string CommandLine::Help() const { return app_.help(); }

std::optional<int> CommandLine::Handle(int argc, const char* const* argv) {
  switch (Parse(argc, argv)) {
    case Outcome::kRun: return std::nullopt;
    case Outcome::kHelp: std::fputs(Help().c_str(), stdout); return 0;
    case Outcome::kVersion: std::printf("%s %s\n", program_.c_str(), Version()); return 0;
    case Outcome::kError: break;
  }
  std::fprintf(stderr, "%s: %s (see %s --help)\n", program_.c_str(), error_.c_str(), program_.c_str());
  return kUsageError;
}

const char* Version() { return VELMAR_VERSION; }

CLI::Validator CameraIndex() {
  return CLI::Validator(
      [](const std::string& value) -> std::string {
        if (value.size() == 1 && value[0] >= '0' && value[0] <= '8') return {};
        return "a camera index from 0 to 8 is one digit, not '" + value + "'";
      },
      "");
}

CLI::Validator Folder() {
  return CLI::Validator(
      [](std::string& value) -> std::string {
        if (value.empty()) return "needs a folder";
        if (value.back() != '/') value += '/';
        return {};
      },
      "");
}

CLI::Option* AddFolderOption(CLI::App& options, const std::string& name, std::string& folder,
                             const std::string& description) {
  return options.add_option(name, folder, description)->type_name("DIR")->transform(Folder());
}

CLI::Option* AddDepthOption(CLI::App& options, std::optional<unsigned>& depth) {
  return options.add_option("--depth", depth, "use this pixel depth instead of the display's")
      ->type_name("16|24|32")
      ->check(CLI::IsMember({16u, 24u, 32u}));
}

CLI::Option* AddPortOption(CLI::App& options, std::uint16_t& port, const std::string& description) {
  return options.add_option("-p,--port", port, description)->type_name("N")->check(CLI::Range(1, 65535));
}

CLI::Option* AddCameraOption(CLI::App& options, int& camera, const std::string& description) {
  return options.add_option("-d,--camera", camera, description)->type_name("N")->check(CameraIndex());
}

CLI::Option* AddSizeOption(CLI::App& options, const std::string& names, std::function<void(int sizeIndex)> set,
                           const std::string& description) {
  return options
      .add_option_function<std::string>(
          names, [set = std::move(set)](const std::string& size) { set(size == "640x480" ? 0 : 1); }, description)
      ->type_name("WxH")
      ->check(CLI::IsMember({"640x480", "320x240"}));
}

namespace {

constexpr double kLongestSeconds = 1e7;  // some four months

template <typename Target>
CLI::Option* AddSeconds(CLI::App& options, const std::string& names, Target& target, const std::string& description,
                        Seconds range) {
  return options
      .add_option_function<double>(
          names,
          [&target](double seconds) {
            target = std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000.0 + 0.5));
          },
          description)
      ->type_name("SECONDS")
      ->check(CLI::Validator(
          [range](const std::string& text) -> std::string {
            double seconds = 0;
            const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), seconds);
            const bool inRange = range == Seconds::kZeroAllowed ? seconds >= 0 : seconds > 0;
            if (failure == std::errc() && end == text.data() + text.size() && inRange && seconds <= kLongestSeconds) {
              return {};
            }
            return std::string(range == Seconds::kZeroAllowed ? "wants a number of seconds from 0"
                                                              : "wants a positive number of seconds") +
                   ", not '" + text + "'";
          },
          ""));
}

}  // namespace

CLI::Option* AddSecondsOption(CLI::App& options, const std::string& names, std::chrono::milliseconds& target,
                              const std::string& description, Seconds range) {
  return AddSeconds(options, names, target, description, range);
}

CLI::Option* AddSecondsOption(CLI::App& options, const std::string& names,
                              std::optional<std::chrono::milliseconds>& target, const std::string& description,
                              Seconds range) {
  return AddSeconds(options, names, target, description, range);
}

}  // namespace cli
