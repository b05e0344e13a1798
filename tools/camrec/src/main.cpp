// camrec: records the JPEG stream of a camera server into an AVI file or JPEG files.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "camrec/frame_sink.h"
#include "camrec/progress_report.h"
#include "camrec/recorder.h"
#include "camrec/recorder_options.h"
#include "camrec/stream_connection.h"

namespace {

constexpr std::chrono::milliseconds kReplyTimeout{15000};

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnTerminationSignal(int) { interrupted.store(true); }

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "camrec: %s\n", message.c_str());
  return 1;
}

std::unique_ptr<FrameSink> MakeSink(const RecorderOptions& options, std::string& error) {
  if (!options.jpegFolder.empty()) return MakeJpegFilesSink(options.jpegFolder, error);
  return MakeAviSink(options.aviPath, options.stream.frameRate, SizeOfIndex(options.stream.sizeIndex), error);
}

}  // namespace

int main(int argc, char** argv) {
  RecorderOptions options;
  if (const auto status = RecorderCommandLine(options)->Handle(argc, argv)) return *status;
  InstallSignalHandlers();
  std::string error;

  StreamConnection connection = ConnectToServer(options.host, options.port, options.connectRetry, error);
  if (!connection.IsOpen()) return Fail(error);
  if (!RequestStream(connection, options.stream, kReplyTimeout, error)) return Fail(error);

  std::unique_ptr<FrameSink> sink = MakeSink(options, error);
  if (!sink) return Fail(error);

  ProgressReport progress(!options.quiet);
  RecordingStats stats;
  const StopReason reason = RecordStream(
      connection.Socket(), *sink, options.limits, interrupted, [&](const RecordingStats& now) { progress.Update(now); },
      stats, error);
  progress.Close();
  connection = StreamConnection();  // the server sees the end of the stream at once

  std::string finishError;
  const bool finished = sink->Finish(finishError);
  std::printf("%s\n", FormatSummary(stats, sink->Destination(), options.stream.frameRate).c_str());
  if (!finished) return Fail(finishError);
  if (!IsRequestedStop(reason)) {
    return Fail(std::string("recording ended early: ") + Describe(reason) + (error.empty() ? "" : ": " + error));
  }
  return 0;
}
