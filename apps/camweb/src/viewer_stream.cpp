#include "camweb/viewer_stream.h"

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/http.h>

#include <sys/socket.h>

#include <cstdio>

namespace {

// A frame arriving this much before the viewer's next due time is sent all the same, so
// that camera jitter does not halve a rate that matches the camera's.
constexpr auto kPacingSlack = std::chrono::milliseconds(15);
// The kernel's share of a viewer's backlog: a few frames, so that a slow viewer is seen
// as busy (and skips frames) soon instead of falling seconds behind in socket buffers.
constexpr int kViewerSendBuffer = 64 * 1024;

double MonotonicSeconds(SteadyClock::time_point time) {
  return std::chrono::duration<double>(time.time_since_epoch()).count();
}

void ReleaseFrame(const void*, size_t, void* holder) { delete static_cast<std::shared_ptr<const Frame>*>(holder); }

}  // namespace

ViewerStream::ViewerStream(evhttp_request* request, std::string target, FrameSize size, int fps,
                           std::function<void(ViewerStream&)> left)
    : request_(request),
      target_(std::move(target)),
      size_(size),
      period_(std::chrono::nanoseconds(std::chrono::seconds(1)) / fps),
      left_(std::move(left)) {}

ViewerStream::~ViewerStream() = default;

void ViewerStream::Begin(std::chrono::seconds writeTimeout) {
  evkeyvalq* headers = evhttp_request_get_output_headers(request_);
  evhttp_add_header(headers, "Content-Type",
                    (std::string("multipart/x-mixed-replace;boundary=") + kPartBoundary).c_str());
  evhttp_add_header(headers, "Cache-Control", "no-cache, no-store, must-revalidate");
  evhttp_add_header(headers, "Pragma", "no-cache");
  evhttp_add_header(headers, "Connection", "close");
  evhttp_connection* connection = evhttp_request_get_connection(request_);
  evhttp_connection_set_closecb(connection, &ViewerStream::Closed, this);
  // A viewer sends nothing while it watches: only a stalled write ends its stream.
  const timeval write{writeTimeout.count(), 0};
  bufferevent* socket = evhttp_connection_get_bufferevent(connection);
  bufferevent_set_timeouts(socket, nullptr, &write);
  setsockopt(bufferevent_getfd(socket), SOL_SOCKET, SO_SNDBUF, &kViewerSendBuffer, sizeof(kViewerSendBuffer));
  evhttp_send_reply_start(request_, 200, "OK");
}

bool ViewerStream::Due(SteadyClock::time_point now) const { return now + kPacingSlack >= nextDue_; }

void ViewerStream::Offer(std::shared_ptr<const Frame> frame, CameraCounters& counters) {
  if (ended_ || frame->size != size_ || frame->sequence <= lastSequence_) return;
  if (writing_) {
    if (waiting_) ++counters.framesDropped;
    waiting_ = std::move(frame);
    waitingCounters_ = &counters;
    return;
  }
  const auto now = SteadyClock::now();
  if (!Due(now)) return;
  Send(std::move(frame), counters);
}

void ViewerStream::Send(std::shared_ptr<const Frame> frame, CameraCounters& counters) {
  const auto now = SteadyClock::now();
  nextDue_ += period_;
  if (nextDue_ + period_ < now) nextDue_ = now;  // after a pause, no burst to catch up

  char header[192];
  const int headerBytes = std::snprintf(
      header, sizeof(header), "--%s\r\nContent-Type: image/jpeg\r\nContent-Length: %zu\r\nX-Timestamp: %.6f\r\n\r\n",
      kPartBoundary, frame->jpeg.size(), MonotonicSeconds(frame->captured));
  evbuffer* part = evbuffer_new();
  evbuffer_add(part, header, static_cast<size_t>(headerBytes));
  // The image bytes are shared by every viewer, not copied.
  const auto* bytes = frame->jpeg.data();
  const size_t length = frame->jpeg.size();
  evbuffer_add_reference(part, bytes, length, &ReleaseFrame, new std::shared_ptr<const Frame>(frame));
  evbuffer_add(part, "\r\n", 2);
  const size_t partBytes = evbuffer_get_length(part);

  writing_ = true;
  lastSequence_ = frame->sequence;
  bytesSent_ += partBytes;
  ++counters.framesSent;
  counters.bytesSent += length;
  evhttp_send_reply_chunk_with_cb(request_, part, &ViewerStream::Written, this);
  evbuffer_free(part);
}

void ViewerStream::Written(evhttp_connection*, void* self) {
  auto& viewer = *static_cast<ViewerStream*>(self);
  viewer.writing_ = false;
  if (viewer.ended_ || !viewer.waiting_) return;
  auto frame = std::move(viewer.waiting_);
  viewer.waiting_.reset();
  if (viewer.Due(SteadyClock::now())) viewer.Send(std::move(frame), *viewer.waitingCounters_);
}

void ViewerStream::End() {
  if (ended_) return;
  ended_ = true;
  waiting_.reset();
  evhttp_connection_set_closecb(evhttp_request_get_connection(request_), nullptr, nullptr);
  evbuffer* closing = evbuffer_new();
  evbuffer_add_printf(closing, "--%s--\r\n", kPartBoundary);
  evhttp_send_reply_chunk(request_, closing);
  evbuffer_free(closing);
  evhttp_send_reply_end(request_);
}

void ViewerStream::Closed(evhttp_connection*, void* self) {
  auto& viewer = *static_cast<ViewerStream*>(self);
  viewer.ended_ = true;
  // The request outlives a failed connection until its reply is ended; then it is freed.
  if (evhttp_request_get_connection(viewer.request_) == nullptr) evhttp_send_reply_end(viewer.request_);
  // Copied first: the call drops the viewer, and this function with it.
  const auto left = viewer.left_;
  left(viewer);
}
