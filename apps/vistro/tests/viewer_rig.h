// A viewer under test: real camera, driver and window on the offscreen platform, with
// the dialogs answered by the test and its files in a folder of its own.
#pragma once

#include <QMessageBox>
#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "test_folder.h"
#include "vistro/preview_layout.h"
#include "vistro/viewer.h"

struct ShownMessage {
  bool owned;  // shown over the viewer's window
  QString caption;
  QString text;
  QMessageBox::Icon icon;
};

// Answers the viewer's questions from queues and records what it shows.
struct ScriptedPrompts {
  std::vector<ShownMessage> messages;
  std::deque<QString> captureFileAnswers;  // an empty name cancels the dialog
  std::deque<int> exposureAnswers;
  std::deque<bool> confirmAnswers;  // none left: no
  int captureFileQuestions = 0;
  int exposureQuestions = 0;
  std::vector<QString> confirmQuestions;
};

class ViewerRig {
 public:
  // Snapshots go to the rig's folder unless the options name one. The test camera is
  // plugged if a test before has unplugged it.
  explicit ViewerRig(ViewerOptions options = {});
  ~ViewerRig();
  ViewerRig(const ViewerRig&) = delete;
  ViewerRig& operator=(const ViewerRig&) = delete;

  Viewer& viewer() { return *viewer_; }
  ViewerState& state() { return viewer_->state(); }
  ScriptedPrompts& prompts() { return *prompts_; }
  // The rig's folder, with its trailing '/'.
  std::string folder() const { return folder_.path(); }

  // StartUp, then lets the posted Start run. False if either did not happen.
  bool StartAndRun();
  // Processes events until the run has shown `frames` more frames (at most a few seconds).
  bool WaitForFramesShown(uint32_t frames);
  bool WaitForFramesRecorded(uint32_t frames);

  // Lets queued window work (posted commands, repaints) happen.
  static void ProcessEvents();

 private:
  TestFolder folder_;
  std::shared_ptr<ScriptedPrompts> prompts_;
  std::unique_ptr<Viewer> viewer_;
};

// The preview rectangle now, read under previewLock.
PreviewRect CurrentPreviewRect(ViewerState& state);
