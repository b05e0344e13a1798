// Work handed to the event loop's thread from other threads: the camera workers post
// their frames and answers here, since libevent's requests may only be touched by the
// thread that runs the loop.
#pragma once

#include <deque>
#include <functional>
#include <mutex>

struct event;
struct event_base;

class LoopMailbox {
 public:
  // `base` must have been made after evthread_use_pthreads().
  explicit LoopMailbox(event_base* base);
  LoopMailbox(const LoopMailbox&) = delete;
  LoopMailbox& operator=(const LoopMailbox&) = delete;
  ~LoopMailbox();

  // Runs `work` on the loop's thread soon; any thread may call it.
  void Post(std::function<void()> work);

 private:
  static void Deliver(int, short, void* self);

  event* wakeup_;
  std::mutex mutex_;
  std::deque<std::function<void()>> work_;
};
