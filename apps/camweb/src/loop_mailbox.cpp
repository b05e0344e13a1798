#include "camweb/loop_mailbox.h"

#include <event2/event.h>

LoopMailbox::LoopMailbox(event_base* base) : wakeup_(event_new(base, -1, 0, &LoopMailbox::Deliver, this)) {}

LoopMailbox::~LoopMailbox() { event_free(wakeup_); }

void LoopMailbox::Post(std::function<void()> work) {
  {
    const std::lock_guard hold(mutex_);
    work_.push_back(std::move(work));
  }
  // Activating an event that is already active does nothing: one wake-up takes all.
  event_active(wakeup_, 0, 0);
}

void LoopMailbox::Deliver(int, short, void* self) {
  auto& mailbox = *static_cast<LoopMailbox*>(self);
  std::deque<std::function<void()>> work;
  {
    const std::lock_guard hold(mailbox.mutex_);
    work.swap(mailbox.work_);
  }
  for (auto& job : work) job();
}
