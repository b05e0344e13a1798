#include "viewer_rig.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <atomic>

#include "vistro_test_environment.h"

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
  prompts.confirm = [script](QWidget*, const QString&, const QString& question) {
    script->confirmQuestions.push_back(question);
    if (script->confirmAnswers.empty()) return false;
    const bool answer = script->confirmAnswers.front();
    script->confirmAnswers.pop_front();
    return answer;
  };
  return prompts;
}

bool WaitForCount(const std::atomic<uint32_t>& counter, uint32_t more) {
  const uint32_t target = counter.load() + more;
  return QTest::qWaitFor([&] { return counter.load() >= target; }, kFrameWaitMs);
}

}  // namespace

ViewerRig::ViewerRig(ViewerOptions options) : prompts_(std::make_shared<ScriptedPrompts>()) {
  PlugTestCamera();
  if (options.snapshotDirectory.empty()) options.snapshotDirectory = folder_.path();
  viewer_ = std::make_unique<Viewer>(std::move(options), PromptsFrom(prompts_));
}

ViewerRig::~ViewerRig() { viewer_.reset(); }

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
