// The files a recording goes into. Choosing a capture file names the first run's file;
// every later run of the same choice gets a numbered file of its own, so one run never
// destroys the recording of another, and a file the user did not choose is never
// replaced.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class RecordingFiles {
 public:
  // The capture path, its terminating NUL included, must fit this many bytes.
  static constexpr size_t kCaptureFilePathBytes = 260;

  // The capture path for a chosen name: ".avi" appended unless the name already ends in
  // it (in any case). Empty when the result does not fit kCaptureFilePathBytes.
  static std::string CaptureFilePathFor(std::string_view chosenName);

  // Makes the chosen name the capture file and enables recording. The first run
  // replaces a file of that name only when `replaceConfirmed` (the user said so);
  // otherwise, if one has turned up, it takes the first free numbered name. False,
  // with nothing changed, when the capture path would be too long.
  bool Choose(std::string_view chosenName, bool replaceConfirmed);

  // Whether choosing `chosenName` would name a file that exists, which the user has
  // not confirmed replacing in the save-file dialog: true when ".avi" is appended to
  // the name and that file exists.
  static bool ReplacesUnconfirmed(std::string_view chosenName);

  bool recordingEnabled() const { return !captureFilePath_.empty(); }
  const std::string& captureFilePath() const { return captureFilePath_; }

  // The file the next run records into: the capture path for the first run after a
  // choice, then "<name>-2.avi", "<name>-3.avi", ... skipping names that exist; a
  // file that may not be replaced is created here (empty) so that nobody else takes
  // it. Empty when no file is chosen or none can be created.
  std::string NextRunFile();
  // The last NextRunFile was created empty by it (and is still the run's to fill).
  bool lastFileCreated() const { return lastFileCreated_; }

 private:
  std::string captureFilePath_;
  bool replaceConfirmed_ = false;
  bool lastFileCreated_ = false;
  int runs_ = 0;  // runs started since the choice; also the last number used
};

// Removes `path` if it is an empty file: a run's file that never got its header.
void RemoveIfEmpty(const std::string& path);
