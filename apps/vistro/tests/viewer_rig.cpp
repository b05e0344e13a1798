#include "viewer_rig.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <atomic>

namespace {

constexpr int kFrameWaitMs = 8000;

ViewerPrompts PromptsFrom(const std::shared_ptr<ScriptedPrompts>& script) {
  ViewerPrompts prompts;
  prompts.message = [script](QWidget* owner, const QString& caption, const QString& text, QMessageBox::Icon icon) {
    script->messages.push_back({owner != nullptr, caption, text, icon});
  };
  prompts.captureFile = [script](QWidget*) -> std::optional<QString> {
    ++script->captureFileQuestions;
    if (script->captureFileAnswers.empty()) return std::nullopt;
    const QString answer = script->captureFileAnswers.front();
    script->captureFileAnswers.pop_front();
    if (answer.isEmpty()) return std::nullopt;
    return answer;
  };
  prompts.exposure = [script](QWidget*) {
    ++script->exposureQuestions;
    if (script->exposureAnswers.empty()) return -1;
    const int answer = script->exposureAnswers.front();
    script->exposureAnswers.pop_front();
    return answer;
  };
  return prompts;
}

bool WaitForCount(const std::atomic<uint32_t>& counter, uint32_t more) {
  const uint32_t target = counter.load() + more;
  return QTest::qWaitFor([&] { return counter.load() >= target; }, kFrameWaitMs);
}

}  // namespace

std::filesystem::path TestFolder(const std::string& name) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vistro-test-" + std::to_string(getpid()) + "-" + name);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

ViewerRig::ViewerRig(ViewerOptions options)
    : folder_(TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name())),
      prompts_(std::make_shared<ScriptedPrompts>()) {
  if (options.snapshotDirectory.empty()) options.snapshotDirectory = folder_.string() + "/";
  viewer_ = std::make_unique<Viewer>(std::move(options), PromptsFrom(prompts_));
}

ViewerRig::~ViewerRig() {
  viewer_.reset();
  std::filesystem::remove_all(folder_);
}

bool ViewerRig::StartAndRun() {
  if (!viewer_->StartUp()) return false;
  return QTest::qWaitFor([&] { return viewer_->state().running.load(); }, kFrameWaitMs);
}

bool ViewerRig::WaitForFramesShown(uint32_t frames) { return WaitForCount(state().framesShown, frames); }

bool ViewerRig::WaitForFramesRecorded(uint32_t frames) { return WaitForCount(state().framesRecorded, frames); }

void ViewerRig::ProcessEvents() { QCoreApplication::processEvents(); }

PreviewRect CurrentPreviewRect(ViewerState& state) {
  PreviewLockGuard lock(state);
  const PreviewFields& preview = state.preview;
  return {preview.previewLeft, preview.previewTop, preview.previewRight, preview.previewBottom};
}
