// Menu 101 in the command bar: its ids, captions (with their & mnemonics), initial
// states, and the graying that follows the start and end of a run. Choosing an item
// never changes a check by itself: the command decides, from the driver's answer.
#pragma once

#include <QString>
#include <functional>
#include <map>

class QAction;
class QMenu;
class QMenuBar;

class ViewerMenu {
 public:
  ViewerMenu(QMenuBar* commandBar, std::function<void(int id)> command);

  // Null for an id the menu does not have.
  QAction* action(int id) const;
  void SetEnabled(int id, bool enabled);
  void SetChecked(int id, bool checked);
  bool IsEnabled(int id) const;
  bool IsChecked(int id) const;

  // Checks `id` and clears the other items of [first, last].
  void CheckOnly(int id, int first, int last);

  // Running: Start, capture file, size, mode and bandwidth grayed; Stop, Snapshot and
  // FullScreen enabled. Idle: the other way round.
  void ShowRunning(bool running);

 private:
  void AddItem(QMenu* menu, int id, const QString& caption, bool enabled, bool checkable, bool checked);

  std::function<void(int)> command_;
  std::map<int, QAction*> actions_;
};
