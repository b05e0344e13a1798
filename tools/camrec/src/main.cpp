// camrec: records the JPEG stream of a camera server into an AVI file, a raw MJPEG
// stream or JPEG files.
#include <atomic>
#include <cstdio>
#include <string>

#include "camrec/frame_sink.h"
#include "camrec/progress_report.h"
#include "camrec/recorder.h"
#include "camrec/recorder_options.h"
#include "camrec/stream_connection.h"
#include "cli/stop_signals.h"

namespace {

constexpr std::chrono::milliseconds kReplyTimeout{15000};

int Fail(const std::string& message) {
  std::fprintf(stderr, "camrec: %s\n", message.c_str());
  return 1;
}

std::unique_ptr<FrameSink> MakeSink(const RecorderOptions& options, std::string& error) {
  const SinkSettings settings{options.overwrite, options.limits.frames};
  if (!options.jpegFolder.empty()) return MakeJpegFilesSink(options.jpegFolder, settings, error);
  if (options.mjpeg) return MakeMjpegSink(options.aviPath, settings, error);
  return MakeAviSink(options.aviPath, options.stream.frameRate, SizeOfIndex(options.stream.sizeIndex), settings, error);
}

}  // namespace

int main(int argc, char** argv) {
  RecorderOptions options;
  if (const auto status = RecorderCommandLine(options)->Handle(argc, argv)) return *status;
  const std::atomic<bool>& interrupted = cli::CatchStopSignals();
  std::string error;

  // The output first: one that cannot be written is known before the stream starts.
  std::unique_ptr<FrameSink> sink = MakeSink(options, error);
  if (!sink) return Fail(error);
  StreamConnection connection = ConnectToServer(options.host, options.port, options.connectRetry, error);
  if (!connection.IsOpen() || !RequestStream(connection, options.stream, kReplyTimeout, error)) {
    sink->Abandon();
    return Fail(error);
  }

  // Messages go to standard error when the images go to standard output.
  FILE* messages = options.mjpeg && options.aviPath == "-" ? stderr : stdout;
  ProgressReport progress(!options.quiet);
  RecordingStats stats;
  const StopReason reason = RecordStream(
      connection.Socket(), *sink, options.limits, interrupted, [&](const RecordingStats& now) { progress.Update(now); },
      stats, error);
  progress.Close();
  connection = StreamConnection();  // the server sees the end of the stream at once

  std::string finishError;
  const bool finished = sink->Finish(finishError);
  std::fprintf(messages, "%s\n", FormatSummary(stats, sink->Destination(), options.stream.frameRate).c_str());
  std::fflush(messages);
  if (!finished) return Fail(finishError);
  if (!IsRequestedStop(reason)) {
    return Fail(std::string("recording ended early: ") + Describe(reason) + (error.empty() ? "" : ": " + error));
  }
  return 0;
}
