#include "transfer.h"

#include <algorithm>
#include <numeric>

namespace usbhost {

void Transfer::Complete(DWORD usbError, DWORD bytesTransferred, const std::function<void()>& deliver) {
  {
    std::lock_guard lock(mutex_);
    if (complete_ || closed_) return;
    if (deliver) deliver();
    complete_ = true;
    usbError_ = usbError;
    bytesTransferred_ = bytesTransferred;
    if (!routine_) return;
    routineRunning_ = true;
    routineThread_ = std::this_thread::get_id();
  }
  routine_(context_);
  {
    std::lock_guard lock(mutex_);
    routineRunning_ = false;
  }
  routineDone_.notify_all();
}

void Transfer::CompleteIsoch(std::vector<DWORD> actualLengths) {
  const DWORD total = std::accumulate(actualLengths.begin(), actualLengths.end(), DWORD{0});
  Complete(USB_NO_ERROR, total, [&] {
    isochLengths_ = std::move(actualLengths);
    isoch_ = true;
  });
}

void Transfer::Status(DWORD& bytesTransferred, DWORD& usbError) const {
  std::lock_guard lock(mutex_);
  bytesTransferred = bytesTransferred_;
  usbError = usbError_;
}

bool Transfer::IsochLengths(DWORD frames, LPDWORD lengths, LPDWORD errors) const {
  std::lock_guard lock(mutex_);
  if (!isoch_ || frames > isochLengths_.size()) return false;
  if (lengths) std::copy_n(isochLengths_.begin(), frames, lengths);
  if (errors) std::fill_n(errors, frames, DWORD{USB_NO_ERROR});
  return true;
}

void Transfer::Close() {
  std::unique_lock lock(mutex_);
  closed_ = true;
  if (routineThread_ != std::this_thread::get_id()) {
    routineDone_.wait(lock, [this] { return !routineRunning_; });
  }
}

}  // namespace usbhost
