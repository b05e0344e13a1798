#include "process_usage.h"

#include <filesystem>
#include <fstream>

double ProcessUsage::ThreadsNamed(const std::string& name, bool oldestOnly) const {
  double seconds = 0;
  for (const auto& [id, thread] : threads) {
    if (thread.name != name) continue;
    seconds += thread.cpuSeconds;
    if (oldestOnly) break;
  }
  return seconds;
}

ProcessUsage ReadUsage(pid_t pid) {
  ProcessUsage usage;
  const std::string root = "/proc/" + std::to_string(pid);
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator(root + "/task", error)) {
    ThreadUsage thread;
    std::getline(std::ifstream(task.path() / "comm"), thread.name);
    // schedstat: nanoseconds on a CPU first, with a finer grain than stat's ticks.
    double nanoseconds = 0;
    std::ifstream(task.path() / "schedstat") >> nanoseconds;
    thread.cpuSeconds = nanoseconds / 1e9;
    usage.cpuSeconds += thread.cpuSeconds;
    usage.threads[static_cast<pid_t>(std::stol(task.path().filename().string()))] = thread;
  }
  std::ifstream status(root + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmRSS:")) usage.residentKib = std::stod(line.substr(6));
  }
  return usage;
}

ProcessUsage Since(const ProcessUsage& before, const ProcessUsage& after) {
  ProcessUsage spent = after;
  spent.cpuSeconds -= before.cpuSeconds;
  for (auto& [id, thread] : spent.threads) {
    if (const auto found = before.threads.find(id); found != before.threads.end()) {
      thread.cpuSeconds -= found->second.cpuSeconds;
    }
  }
  return spent;
}
