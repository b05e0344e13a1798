#include "stream_device.h"

#include "platform/winbase.h"

namespace platform_internal {

StreamDevice::StreamDevice(HMODULE driverModule, const StreamEntryPoints& driverEntries, std::u16string deviceName,
                           std::u16string keyPath)
    : module(driverModule), entries(driverEntries), name(std::move(deviceName)), activeKeyPath(std::move(keyPath)) {}

void StreamDevice::HandleOpened() {
  std::lock_guard lock(mutex_);
  ++openHandles_;
}

void StreamDevice::HandleClosed() {
  std::unique_lock lock(mutex_);
  --openHandles_;
  ReleaseLibraryIfUnused(lock);
}

void StreamDevice::Deactivate() {
  calls_.ShutAndDrain();
  entries.deinit(context);
  std::unique_lock lock(mutex_);
  deactivated_ = true;
  deinitDone_.notify_all();
  ReleaseLibraryIfUnused(lock);
}

void StreamDevice::WaitUntilDeinitDone() {
  std::unique_lock lock(mutex_);
  deinitDone_.wait(lock, [this] { return deactivated_; });
}

void StreamDevice::ReleaseLibraryIfUnused(std::unique_lock<std::mutex>& lock) {
  if (!deactivated_ || openHandles_ > 0 || libraryReleased_) return;
  libraryReleased_ = true;
  lock.unlock();
  FreeLibrary(module);
}

}  // namespace platform_internal
