// The viewer program: start-up, the message loop, the window's messages, the menu
// commands, the start and stop of preview runs, and shut-down.
#pragma once

#include <QString>
#include <memory>

#include "viewer_options.h"
#include "viewer_prompts.h"
#include "viewer_state.h"

class QEventLoop;
class QTimer;
class ViewerMenu;
class ViewerWindow;

class Viewer {
 public:
  Viewer(ViewerOptions options, ViewerPrompts prompts);
  ~Viewer();  // shuts down if that has not been done
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;

  // Finds and opens the camera, sets its format, makes the window and its command bar,
  // lays out the preview and posts Start. False after a failure (with a message where
  // the user needs one); ShutDown is still due.
  bool StartUp();
  // Runs until the window is closed (Exit, the close box, or the camera disappearing).
  void RunMessageLoop();
  // Ends a run still going (waiting for its frame worker), destroys the window, closes
  // the camera and frees the preview.
  void ShutDown();

  // A menu command; one not allowed in the current state does nothing.
  void Command(int id);
  // The command runs once the message loop gets to it.
  void PostCommand(int id);

  ViewerState& state() { return state_; }
  ViewerWindow* window() const { return window_.get(); }
  ViewerMenu* menu() const { return menu_.get(); }
  // The window was closed: the message loop ends (or will not start).
  bool quitPosted() const { return quitPosted_; }

 private:
  bool OpenCameraInItsFormat();
  void CreateWindowAndCommandBar();
  void ShowStartUpMessage(const QString& text);

  void OnPresenceTimer();
  void OnClose();
  void OnLeftButtonDown();

  void ChooseCaptureFile();
  // Asks whether the capture file `chosenName` gives may replace the existing one.
  bool ConfirmReplacing(const std::string& chosenName);
  void ChooseRecordFileOfTheCommandLine();
  void ShowPendingNotice();
  void ShowDriverVersion();
  void EnterFullScreen();
  void ChangeSize(bool large);
  void ChangeLightMode(int id);
  void ChangeBandwidth(int id);
  void ChangeExposure();

  void StartRun();
  void StopRun();
  void WaitForFrameThread();

  ViewerOptions options_;
  ViewerPrompts prompts_;
  ViewerState state_;
  std::unique_ptr<ViewerWindow> window_;
  std::unique_ptr<ViewerMenu> menu_;
  QEventLoop* messageLoop_ = nullptr;
  // Looks for messages FrameThread left (a recording that stopped) and shows them.
  std::unique_ptr<QTimer> noticeTimer_;
  bool quitPosted_ = false;
  bool shutDown_ = false;
};
