// Capture file names: ".avi" added once, names too long refused, and numbered files for
// later runs that never replace an existing file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "test_folder.h"
#include "vistro/recording_files.h"

namespace {

namespace fs = std::filesystem;

TEST(CaptureFilePath, AddsAviOnlyWhenMissing) {
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor("/videos/clip"), "/videos/clip.avi");
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor("/videos/clip.avi"), "/videos/clip.avi");
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor("/videos/CLIP.AVI"), "/videos/CLIP.AVI");
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor("/videos/clip.avi.mov"), "/videos/clip.avi.mov.avi");
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor("avi"), "avi.avi");
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor(""), "");
}

TEST(CaptureFilePath, RefusesWhatDoesNotFitWithItsTerminator) {
  // 255 bytes + ".avi" + NUL = 260: the longest that fits.
  const std::string longest(255, 'a');
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor(longest), longest + ".avi");
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor(longest + "a"), "");
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor(std::string(255, 'b') + ".avi"), std::string(255, 'b') + ".avi");
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor(std::string(256, 'b') + ".avi"), "");
  // Bytes count, not characters: 128 two-byte letters are 256 bytes.
  std::string wide;
  for (int i = 0; i < 128; ++i) wide += "\xC3\xA9";
  EXPECT_EQ(RecordingFiles::CaptureFilePathFor(wide), "");
}

TEST(RecordingFiles, TooLongChoiceChangesNothing) {
  RecordingFiles files;
  ASSERT_TRUE(files.Choose("/tmp/first", true));
  EXPECT_FALSE(files.Choose(std::string(300, 'x'), true));
  EXPECT_TRUE(files.recordingEnabled());
  EXPECT_EQ(files.captureFilePath(), "/tmp/first.avi");
}

TEST(RecordingFiles, NothingChosenRecordsNothing) {
  RecordingFiles files;
  EXPECT_FALSE(files.recordingEnabled());
  EXPECT_EQ(files.NextRunFile(), "");
}

TEST(RecordingFiles, LaterRunsGetNumberedFilesThatWereFree) {
  const TestFolder folder;
  const std::string chosen = folder.path() + "clip";
  // A file of an earlier session that nobody chose now.
  std::ofstream(chosen + "-3.avi") << "keep me";

  RecordingFiles files;
  ASSERT_TRUE(files.Choose(chosen, true));
  EXPECT_EQ(files.NextRunFile(), chosen + ".avi");
  EXPECT_EQ(files.NextRunFile(), chosen + "-2.avi");
  EXPECT_TRUE(fs::exists(chosen + "-2.avi"));  // taken at once
  EXPECT_EQ(files.NextRunFile(), chosen + "-4.avi");
  EXPECT_EQ(files.NextRunFile(), chosen + "-5.avi");
  std::ifstream kept(chosen + "-3.avi");
  std::string content;
  std::getline(kept, content);
  EXPECT_EQ(content, "keep me");

  // A new choice starts over with the chosen file itself.
  ASSERT_TRUE(files.Choose(chosen + ".avi", true));
  EXPECT_EQ(files.NextRunFile(), chosen + ".avi");
}

TEST(RecordingFiles, NumberedFileInAMissingFolderIsNotMade) {
  RecordingFiles files;
  ASSERT_TRUE(files.Choose("/nonexistent-folder-for-vistro/clip", false));
  EXPECT_EQ(files.NextRunFile(), "/nonexistent-folder-for-vistro/clip.avi");
  EXPECT_EQ(files.NextRunFile(), "");
}

TEST(RecordingFiles, AFileTheUserDidNotConfirmIsNeverReplaced) {
  const TestFolder folder;
  const std::string chosen = folder.path() + "clip";
  EXPECT_FALSE(RecordingFiles::ReplacesUnconfirmed(chosen));
  std::ofstream(chosen + ".avi") << "keep me";
  EXPECT_TRUE(RecordingFiles::ReplacesUnconfirmed(chosen)) << "\"clip\" would become the existing clip.avi";
  EXPECT_FALSE(RecordingFiles::ReplacesUnconfirmed(chosen + ".avi")) << "the dialog asked about that name itself";

  RecordingFiles files;
  ASSERT_TRUE(files.Choose(chosen, false));
  EXPECT_EQ(files.NextRunFile(), chosen + "-2.avi");
  EXPECT_TRUE(files.lastFileCreated());
  std::ifstream kept(chosen + ".avi");
  std::string content;
  std::getline(kept, content);
  EXPECT_EQ(content, "keep me");

  ASSERT_TRUE(files.Choose(chosen, true));
  EXPECT_EQ(files.NextRunFile(), chosen + ".avi");
  EXPECT_FALSE(files.lastFileCreated()) << "the confirmed file is the run's to replace";
}

}  // namespace
