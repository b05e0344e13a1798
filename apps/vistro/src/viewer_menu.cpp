#include "vistro/viewer_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "vistro/viewer_ids.h"

using namespace viewer_ids;

namespace {
// Items grayed while a run is active, enabled while idle.
constexpr int kIdleOnly[] = {kStart, kSetCaptureFile, kSize320x240, kSize640x480};
// Items enabled while a run is active, grayed while idle.
constexpr int kRunningOnly[] = {kStop, kSnapshot, kFullScreen};
}  // namespace

ViewerMenu::ViewerMenu(QMenuBar* commandBar, std::function<void(int id)> command) : command_(std::move(command)) {
  QMenu* file = commandBar->addMenu(QStringLiteral("&File"));
  AddItem(file, kSetCaptureFile, QStringLiteral("Set &Capture File..."), true, false, false);
  file->addSeparator();
  AddItem(file, kExit, QStringLiteral("E&xit"), true, false, false);

  QMenu* options = commandBar->addMenu(QStringLiteral("&Options"));
  QMenu* size = options->addMenu(QStringLiteral("Si&ze"));
  AddItem(size, kSize640x480, QStringLiteral("640x480"), true, true, false);
  AddItem(size, kSize320x240, QStringLiteral("320x240"), true, true, true);
  QMenu* mode = options->addMenu(QStringLiteral("Mode"));
  AddItem(mode, kModeOutdoor, QStringLiteral("Outdoor"), true, true, true);
  AddItem(mode, kMode50Hz, QStringLiteral("50Hz"), true, true, false);
  QMenu* bandwidth = options->addMenu(QStringLiteral("Bandwidth"));
  AddItem(bandwidth, kBandwidthAuto, QStringLiteral("Auto"), true, true, true);
  for (int level = 1; level <= kBandwidthLevel7 - kBandwidthAuto; ++level) {
    AddItem(bandwidth, kBandwidthAuto + level, QStringLiteral("Level %1").arg(level), true, true, false);
  }
  AddItem(options, kExposure, QStringLiteral("Exposure"), true, false, false);
  AddItem(options, kStart, QStringLiteral("&Start"), true, false, false);
  AddItem(options, kStop, QStringLiteral("S&top"), false, false, false);
  AddItem(options, kSnapshot, QStringLiteral("S&napshot"), false, false, false);
  AddItem(options, kFullScreen, QStringLiteral("&FullScreen"), false, false, false);

  QMenu* help = commandBar->addMenu(QStringLiteral("&Help"));
  AddItem(help, kAbout, QStringLiteral("&About..."), true, false, false);
}

void ViewerMenu::AddItem(QMenu* menu, int id, const QString& caption, bool enabled, bool checkable, bool checked) {
  QAction* item = menu->addAction(caption);
  item->setData(id);
  item->setEnabled(enabled);
  item->setCheckable(checkable);
  item->setChecked(checked);
  QObject::connect(item, &QAction::triggered, item, [this, item, id](bool checkedNow) {
    // Qt has already flipped a checkable item; put it back and let the command decide.
    if (item->isCheckable()) item->setChecked(!checkedNow);
    command_(id);
  });
  actions_[id] = item;
}

QAction* ViewerMenu::action(int id) const {
  const auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

void ViewerMenu::SetEnabled(int id, bool enabled) {
  if (QAction* item = action(id)) item->setEnabled(enabled);
}

void ViewerMenu::SetChecked(int id, bool checked) {
  if (QAction* item = action(id)) item->setChecked(checked);
}

bool ViewerMenu::IsEnabled(int id) const {
  const QAction* item = action(id);
  return item != nullptr && item->isEnabled();
}

bool ViewerMenu::IsChecked(int id) const {
  const QAction* item = action(id);
  return item != nullptr && item->isChecked();
}

void ViewerMenu::CheckOnly(int id, int first, int last) {
  for (int other = first; other <= last; ++other) SetChecked(other, other == id);
}

void ViewerMenu::ShowRunning(bool running) {
  for (const int id : kIdleOnly) SetEnabled(id, !running);
  for (int id = kModeOutdoor; id <= kBandwidthLevel7; ++id) SetEnabled(id, !running);
  for (const int id : kRunningOnly) SetEnabled(id, running);
}
