// camsnap: JPEG snapshots straight from a camera, for scripts.
#include <atomic>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "camsnap/name_pattern.h"
#include "camsnap/snapshot_camera.h"
#include "camsnap/snapshot_options.h"
#include "camsnap/snapshot_output.h"
#include "cli/stop_signals.h"
#include "system/boot.h"

namespace {

// Sleeps until `until`, or less when interrupted. False when interrupted.
bool WaitUntil(std::chrono::steady_clock::time_point until, const std::atomic<bool>& interrupted) {
  while (!interrupted.load() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - std::chrono::steady_clock::now(),
                                                                              std::chrono::milliseconds(20)));
  }
  return !interrupted.load();
}

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

int TakePictures(const SnapshotOptions& options, FILE* messages, const std::atomic<bool>& interrupted) {
  std::string error;
  SnapshotCamera camera(interrupted);
  const auto fail = [&] {
    std::fprintf(stderr, "camsnap: %s\n", error.c_str());
    return 1;
  };
  if (!camera.Start(options, error)) return fail();
  for (unsigned skipped = 0; skipped < options.skip; ++skipped) {
    if (camera.NextFrame(error).empty()) return fail();
  }
  const auto start = std::chrono::steady_clock::now() + options.delay;
  for (unsigned number = 1; number <= options.count; ++number) {
    if (!WaitUntil(start + options.interval * (number - 1), interrupted)) {
      error = "interrupted";
      return fail();
    }
    const std::span<const uint8_t> jpeg = camera.NextFrame(error);
    if (jpeg.empty()) return fail();
    const std::string path = options.pattern == "-" ? "-" : ExpandNamePattern(options.pattern, number, LocalTimeNow());
    if (path.empty()) {
      error = "the pattern " + options.pattern + " gives no file name";
      return fail();
    }
    if (!SaveSnapshotFile(path, jpeg, options.overwrite, error)) return fail();
    std::fprintf(messages, "saved %s (%zu bytes, %s)\n", path == "-" ? "standard output" : path.c_str(), jpeg.size(),
                 options.sizeIndex == 0 ? "640x480" : "320x240");
    std::fflush(messages);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SnapshotOptions options;
  if (const auto status = SnapshotCommandLine(options)->Handle(argc, argv)) return *status;
  const std::atomic<bool>& interrupted = cli::CatchStopSignals();
  std::string error;
  if (!BootSystem(error)) {
    std::fprintf(stderr, "camsnap: cannot start the camera system: %s\n", error.c_str());
    ShutdownSystem();
    return 1;
  }
  int status = 0;
  if (options.list) {
    const std::vector<std::string> cameras = ListCameras();
    for (const std::string& line : cameras) std::printf("%s\n", line.c_str());
    if (cameras.empty()) {
      std::fprintf(stderr, "camsnap: no camera (VELMAR_DEVICES names the devices)\n");
      status = 1;
    }
  } else {
    // With the picture on standard output, what was saved is said on standard error.
    status = TakePictures(options, options.pattern == "-" ? stderr : stdout, interrupted);
  }
  ShutdownSystem();
  return status;
}
