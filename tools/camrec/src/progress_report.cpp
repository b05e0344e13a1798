#include "camrec/progress_report.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>

namespace {

constexpr std::chrono::seconds kUpdateEvery{1};

double FramesPerSecond(const RecordingStats& stats) {
  return stats.elapsed.count() > 0 ? static_cast<double>(stats.received) / stats.elapsed.count() : 0.0;
}

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[256];
  va_list values;
  va_start(values, format);
  std::vsnprintf(text, sizeof(text), format, values);
  va_end(values);
  return text;
}

}  // namespace

ProgressReport::ProgressReport(bool enabled)
    : enabled_(enabled), rewriteInPlace_(isatty(STDERR_FILENO) == 1), nextUpdate_(std::chrono::steady_clock::now()) {}

void ProgressReport::Update(const RecordingStats& stats) {
  const auto now = std::chrono::steady_clock::now();
  if (!enabled_ || now < nextUpdate_) return;
  nextUpdate_ = now + kUpdateEvery;
  const std::string line = FormatProgress(stats);
  std::fprintf(stderr, rewriteInPlace_ ? "\r%s   " : "%s\n", line.c_str());
  lineOpen_ = rewriteInPlace_;
}

void ProgressReport::Close() {
  if (lineOpen_) std::fputc('\n', stderr);
  lineOpen_ = false;
}

std::string FormatProgress(const RecordingStats& stats) {
  return Format("frames %llu  fps %.1f  bytes %llu", static_cast<unsigned long long>(stats.frames),
                FramesPerSecond(stats), static_cast<unsigned long long>(stats.bytes));
}

std::string FormatSummary(const RecordingStats& stats, const std::string& destination, int requestedRate) {
  const std::string size =
      stats.imageSize ? Format("%dx%d", stats.imageSize->width, stats.imageSize->height) : std::string("no");
  std::string summary =
      Format("Recorded %llu frames (%s) in %.2f s: %.1f fps received (%d asked), %llu bytes of JPEG, into %s",
             static_cast<unsigned long long>(stats.frames), size.c_str(), stats.elapsed.count(), FramesPerSecond(stats),
             requestedRate, static_cast<unsigned long long>(stats.bytes), destination.c_str());
  if (stats.rejected > 0) {
    summary += Format("\n%llu pieces of the stream were not images (no frame header or scan) and were left out",
                      static_cast<unsigned long long>(stats.rejected));
  }
  return summary;
}
