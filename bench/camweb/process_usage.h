// CPU time and memory of another process, read from /proc, thread by thread.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>

struct ThreadUsage {
  std::string name;
  double cpuSeconds = 0;
};

struct ProcessUsage {
  std::map<pid_t, ThreadUsage> threads;  // by thread id, oldest first
  double cpuSeconds = 0;
  double residentKib = 0;

  // CPU seconds of the threads named `name`: all of them, or only the oldest (a thread
  // the program started itself, where its children inherit the name).
  double ThreadsNamed(const std::string& name, bool oldestOnly = false) const;
};

ProcessUsage ReadUsage(pid_t pid);
// `after` minus `before`, thread by thread (memory: the later reading).
ProcessUsage Since(const ProcessUsage& before, const ProcessUsage& after);
