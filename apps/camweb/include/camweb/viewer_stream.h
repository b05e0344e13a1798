// One viewer's MJPEG stream (multipart/x-mixed-replace, one JPEG image per part). The
// viewer takes one frame at a time: frames that arrive while it is still taking one
// replace each other, so it gets the newest when it is ready and nothing queues up, and
// it is paced to the frame rate it asked for.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "camweb/camera_channel.h"
#include "camweb/metrics.h"

struct evhttp_request;
struct evhttp_connection;

inline constexpr const char* kPartBoundary = "camwebframe";

class ViewerStream {
 public:
  // `left` runs (on the loop thread) when the viewer's connection closes; the stream must
  // be dropped then, without End().
  // `target`: the request target, for the log line when the stream ends.
  ViewerStream(evhttp_request* request, std::string target, FrameSize size, int fps,
               std::function<void(ViewerStream&)> left);
  ViewerStream(const ViewerStream&) = delete;
  ViewerStream& operator=(const ViewerStream&) = delete;
  ~ViewerStream();

  // Sends the reply's headers; stalled viewers are dropped after `writeTimeout`.
  void Begin(std::chrono::seconds writeTimeout);
  void Offer(std::shared_ptr<const Frame> frame, CameraCounters& counters);
  // The closing boundary and the end of the reply: the stream ends cleanly.
  void End();

  FrameSize Size() const { return size_; }
  uint64_t BytesSent() const { return bytesSent_; }
  SteadyClock::time_point Opened() const { return opened_; }
  const std::string& Target() const { return target_; }

 private:
  static void Written(evhttp_connection*, void* self);
  static void Closed(evhttp_connection*, void* self);
  bool Due(SteadyClock::time_point now) const;
  void Send(std::shared_ptr<const Frame> frame, CameraCounters& counters);

  evhttp_request* request_;
  const std::string target_;
  const FrameSize size_;
  const std::chrono::nanoseconds period_;
  const std::function<void(ViewerStream&)> left_;
  const SteadyClock::time_point opened_ = SteadyClock::now();
  SteadyClock::time_point nextDue_ = opened_;
  bool writing_ = false;
  bool ended_ = false;
  uint64_t lastSequence_ = 0;
  uint64_t bytesSent_ = 0;
  std::shared_ptr<const Frame> waiting_;  // the newest frame not yet taken
  CameraCounters* waitingCounters_ = nullptr;
};
