// One USB transfer as the client sees it through a USB_TRANSFER handle: pending until
// the device answers, then complete with its USB error and byte count. Closing a
// transfer guarantees that its completion routine is not running and never will.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "usbhost/usbdi.h"

namespace usbhost {

class ControlQueue;

class Transfer {
 public:
  Transfer(LPTRANSFER_NOTIFY_ROUTINE routine, LPVOID context) : routine_(routine), context_(context) {}

  // Records the outcome and then calls the routine, unless the transfer has been closed
  // or has already completed. `deliver` runs first, under the transfer's lock, and only
  // when the outcome is taken: the place to copy received data to the client.
  void Complete(DWORD usbError, DWORD bytesTransferred, const std::function<void()>& deliver = {});

  // An isochronous transfer keeps the actual length of each packet.
  void CompleteIsoch(std::vector<DWORD> actualLengths);

  // While the transfer is pending, usbError reads USB_NOT_COMPLETE_ERROR.
  void Status(DWORD& bytesTransferred, DWORD& usbError) const;

  // The first `frames` packet lengths; false if the transfer has fewer or is no
  // isochronous transfer.
  bool IsochLengths(DWORD frames, LPDWORD lengths, LPDWORD errors) const;

  // After Close no routine call is in progress (unless Close runs inside the routine
  // itself) and none will start.
  void Close();

  // Set for a control transfer, so that closing it can withdraw it from the device.
  void AttachQueue(std::weak_ptr<ControlQueue> queue) { queue_ = std::move(queue); }
  std::shared_ptr<ControlQueue> Queue() const { return queue_.lock(); }

 private:
  const LPTRANSFER_NOTIFY_ROUTINE routine_;
  const LPVOID context_;
  std::weak_ptr<ControlQueue> queue_;

  mutable std::mutex mutex_;
  std::condition_variable routineDone_;
  bool complete_ = false;
  bool closed_ = false;
  bool routineRunning_ = false;
  std::thread::id routineThread_;
  DWORD usbError_ = USB_NOT_COMPLETE_ERROR;
  DWORD bytesTransferred_ = 0;
  std::vector<DWORD> isochLengths_;
  bool isoch_ = false;
};

}  // namespace usbhost
