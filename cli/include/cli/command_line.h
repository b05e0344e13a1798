// The command line of every program, with the conventions they share: "--opt value" and
// "--opt=value", short forms for common options, -h/--help, --version, and a one-line
// error naming the option for anything else, which ends the program with status 2.
// Programs declare their options on Options() with CLI11.
#pragma once

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// What a parse asks of the program.
enum class Outcome { kRun, kHelp, kVersion, kError };

// Exit status of a program given a bad command line.
constexpr int kUsageError = 2;

class CommandLine {
 public:
  // `summary`: what the program does, under the usage line of the help; `footer`: the
  // help's last lines (environment, exit status...).
  CommandLine(std::string program, std::string summary, std::string footer = {});
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  CLI::App& Options() { return app_; }

  // Fills the declared options from argv[1..]; help wins over everything else.
  Outcome Parse(int argc, const char* const* argv);
  // The same for the words after the program's name.
  Outcome Parse(const std::vector<std::string>& arguments);
  // One line naming the option, after kError.
  const std::string& Error() const { return error_; }
  std::string Help() const;

  // Parse, and what the conventions ask after it: help or version on standard output
  // (status 0), or "program: reason" on standard error (status 2). Returns the status
  // the program ends with now, or nothing when it should run.
  std::optional<int> Handle(int argc, const char* const* argv);

 private:
  std::string program_;
  CLI::App app_;
  std::string error_;
};

// The system's version, as the build names it.
const char* Version();

// The help's last line in every program that boots the camera system.
inline constexpr const char* kCamerasNote = "Cameras come from VELMAR_DEVICES (default: one emulated camera).";

// Value checks several programs share.
// A camera index: one digit from 0 (VLM1:) to 8 (VLM9:).
CLI::Validator CameraIndex();
// A folder name that is not empty, given a trailing '/' (a transform: ->transform(Folder())).
CLI::Validator Folder();

// Options several programs declare alike.
// A folder option (--save-dir DIR...): `folder` gets the name with its trailing '/'.
CLI::Option* AddFolderOption(CLI::App& options, const std::string& name, std::string& folder,
                             const std::string& description);
// --depth 16|24|32: the pixel depth to use instead of the display's.
CLI::Option* AddDepthOption(CLI::App& options, std::optional<unsigned>& depth);
// -p, --port N: a TCP port, 1 to 65535.
CLI::Option* AddPortOption(CLI::App& options, std::uint16_t& port, const std::string& description);
// -d, --camera N: a camera index (CameraIndex).
CLI::Option* AddCameraOption(CLI::App& options, int& camera, const std::string& description);
// A picture size, 640x480 or 320x240, handed on as the driver's size index (0: 640 x 480,
// 1: 320 x 240).
CLI::Option* AddSizeOption(CLI::App& options, const std::string& names, std::function<void(int sizeIndex)> set,
                           const std::string& description);

// A number of seconds (fractions allowed, at most 10^7), kept as milliseconds: above 0,
// or from 0 on with `zeroAllowed`.
enum class Seconds { kPositive, kZeroAllowed };
CLI::Option* AddSecondsOption(CLI::App& options, const std::string& names, std::chrono::milliseconds& target,
                              const std::string& description, Seconds range = Seconds::kPositive);
CLI::Option* AddSecondsOption(CLI::App& options, const std::string& names,
                              std::optional<std::chrono::milliseconds>& target, const std::string& description,
                              Seconds range = Seconds::kPositive);

}  // namespace cli
