#include "plug_schedule.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "emucam/backend_factory.h"
#include "usbhost/usbhost.h"

namespace emucam {
namespace {

using Clock = std::chrono::steady_clock;

// One thread runs the events in time order; it starts with the first event and is
// stopped (events still to come dropped) before the host shuts down.
class PlugSchedule {
 public:
  void Add(Clock::time_point when, std::function<void()> event) {
    std::lock_guard lock(mutex_);
    events_.emplace(when, std::move(event));
    if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
    changed_.notify_all();
  }

  void Stop() {
    std::unique_lock lock(mutex_);
    events_.clear();
    stopping_ = true;
    changed_.notify_all();
    std::thread worker = std::move(worker_);
    lock.unlock();
    if (worker.joinable()) worker.join();
    lock.lock();
    stopping_ = false;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (events_.empty()) {
        changed_.wait(lock);
        continue;
      }
      const auto next = events_.begin();
      const Clock::time_point due = next->first;  // the event may be dropped while we wait
      if (Clock::now() < due) {
        changed_.wait_until(lock, due);
        continue;
      }
      std::function<void()> event = std::move(next->second);
      events_.erase(next);
      // Plugging and unplugging call into the driver: never under the schedule's lock.
      lock.unlock();
      event();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::multimap<Clock::time_point, std::function<void()>> events_;
  std::thread worker_;
  bool stopping_ = false;
};

PlugSchedule& Schedule() {
  static auto* schedule = new PlugSchedule;
  return *schedule;
}

void PlugFreshCamera(CameraOptions options) {
  std::string error;
  if (auto camera = EmulatedCamera::Create(std::move(options), error)) usbhost::PlugDevice(camera);
}

}  // namespace

void ScheduleHotPlug(const std::shared_ptr<EmulatedCamera>& camera, const CameraOptions& options) {
  if (!options.unplugAfter) return;
  CameraOptions fresh = options;
  fresh.unplugAfter.reset();
  fresh.replugAfter.reset();
  const auto replugAfter = options.replugAfter;
  Schedule().Add(Clock::now() + *options.unplugAfter,
                 [weak = std::weak_ptr<EmulatedCamera>(camera), fresh = std::move(fresh), replugAfter] {
                   const auto plugged = weak.lock();
                   const usbhost::DeviceId id = plugged ? usbhost::FindDevice(plugged.get()) : 0;
                   if (id == 0) return;  // unplugged already: nothing comes back either
                   usbhost::UnplugDevice(id);
                   if (replugAfter) Schedule().Add(Clock::now() + *replugAfter, [fresh] { PlugFreshCamera(fresh); });
                 });
}

void StopHotPlugSchedule() { Schedule().Stop(); }

}  // namespace emucam
