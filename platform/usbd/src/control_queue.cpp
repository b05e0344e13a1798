#include "control_queue.h"

#include <algorithm>
#include <cstring>

namespace usbhost {
namespace {

bool IsDeviceToHost(const USB_DEVICE_REQUEST& setup) { return (setup.bmRequestType & 0x80) != 0; }

}  // namespace

bool ControlQueue::Submit(const std::shared_ptr<Transfer>& transfer, const USB_DEVICE_REQUEST& setup, LPVOID buffer) {
  auto request = std::make_shared<Request>(Request{transfer, setup, std::vector<uint8_t>(setup.wLength), buffer});
  if (!IsDeviceToHost(setup) && setup.wLength > 0) std::memcpy(request->stage.data(), buffer, setup.wLength);
  {
    std::lock_guard lock(mutex_);
    if (disconnected_) return false;
    waiting_.push_back(std::move(request));
  }
  Pump();
  return true;
}

void ControlQueue::Pump() {
  std::shared_ptr<Request> next;
  {
    std::lock_guard lock(mutex_);
    if (active_ || cancelling_ || disconnected_ || waiting_.empty()) return;
    next = std::move(waiting_.front());
    waiting_.pop_front();
    active_ = next;
    submitting_ = next.get();
  }
  // The backend may complete before SubmitControl returns, on this thread or another.
  std::weak_ptr<ControlQueue> self = weak_from_this();
  backend_->SubmitControl(next->setup, next->stage, [self, next](DWORD usbError, DWORD bytesTransferred) {
    if (auto queue = self.lock()) queue->OnComplete(next, usbError, bytesTransferred);
  });
  {
    std::lock_guard lock(mutex_);
    if (submitting_ == next.get()) submitting_ = nullptr;
  }
  submitted_.notify_all();
}

void ControlQueue::OnComplete(const std::shared_ptr<Request>& request, DWORD usbError, DWORD bytesTransferred) {
  {
    std::lock_guard lock(mutex_);
    // A request that was cancelled or aborted is no longer active_: its late answer is dropped.
    if (active_ != request || cancelling_) return;
    active_.reset();
  }
  Finish(*request, usbError, bytesTransferred);
  Pump();
}

void ControlQueue::Finish(Request& request, DWORD usbError, DWORD bytesTransferred) {
  const DWORD moved = std::min<DWORD>(bytesTransferred, request.setup.wLength);
  request.transfer->Complete(usbError, moved, [&] {
    if (IsDeviceToHost(request.setup) && moved > 0) std::memcpy(request.clientBuffer, request.stage.data(), moved);
  });
}

void ControlQueue::WaitUntilSubmitted(std::unique_lock<std::mutex>& lock) {
  submitted_.wait(lock, [this] { return !active_ || submitting_ != active_.get(); });
}

void ControlQueue::CancelInFlight() {
  backend_->CancelControl();
  std::lock_guard lock(mutex_);
  active_.reset();
  cancelling_ = false;
}

void ControlQueue::Withdraw(const std::shared_ptr<Transfer>& transfer) {
  {
    std::unique_lock lock(mutex_);
    const auto removed =
        std::erase_if(waiting_, [&](const std::shared_ptr<Request>& request) { return request->transfer == transfer; });
    if (removed > 0 || !active_ || active_->transfer != transfer) return;
    WaitUntilSubmitted(lock);
    if (!active_ || active_->transfer != transfer || cancelling_) return;
    cancelling_ = true;
  }
  CancelInFlight();
  Pump();
}

void ControlQueue::Abort() {
  std::deque<std::shared_ptr<Request>> failed;
  std::shared_ptr<Request> inFlight;
  {
    std::unique_lock lock(mutex_);
    if (disconnected_) return;
    disconnected_ = true;
    failed.swap(waiting_);
    WaitUntilSubmitted(lock);
    if (active_ && !cancelling_) {
      inFlight = active_;
      cancelling_ = true;
    }
  }
  if (inFlight) {
    CancelInFlight();
    failed.push_front(std::move(inFlight));
  }
  for (const auto& request : failed) Finish(*request, USB_DEVICE_NOT_RESPONDING_ERROR, 0);
}

}  // namespace usbhost
