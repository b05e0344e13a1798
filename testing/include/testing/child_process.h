// Programs started as real processes for end-to-end tests: their console output is
// collected, commands go to their standard input, and they are always reaped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using std::chrono::milliseconds;

// A TCP port on 127.0.0.1 that nothing listens on right now.
uint16_t FindFreePort();

class ChildProcess {
 public:
  // Starts `program` with `arguments`, in our environment with `environment`
  // ("NAME=value") added or replacing variables of the same name.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               std::vector<std::string> environment = {});
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  // Waits until the console output holds `text` at least `occurrences` times.
  bool WaitForOutput(std::string_view text, milliseconds timeout, size_t occurrences = 1);
  size_t CountInOutput(std::string_view text);
  // Everything printed so far (standard output and error together).
  std::string Output();

  void SendInput(std::string_view text);
  void CloseInput();
  void SendSignal(int signalNumber);

  // The exit status, or -signal when it was killed; nothing if it still runs after `timeout`.
  std::optional<int> WaitForExit(milliseconds timeout);

 private:
  void CollectOutput(int timeoutMs);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string collected_;
  std::optional<int> exitStatus_;
};
