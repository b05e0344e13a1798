// Progress while recording (at most once a second, on standard error) and the summary.
#pragma once

#include <chrono>
#include <string>

#include "recorder.h"

class ProgressReport {
 public:
  explicit ProgressReport(bool enabled);
  void Update(const RecordingStats& stats);
  // Ends a progress line that is being rewritten in place.
  void Close();

 private:
  bool enabled_;
  bool rewriteInPlace_;
  bool lineOpen_ = false;
  std::chrono::steady_clock::time_point nextUpdate_;
};

std::string FormatProgress(const RecordingStats& stats);
std::string FormatSummary(const RecordingStats& stats, const std::string& destination, int requestedRate);
