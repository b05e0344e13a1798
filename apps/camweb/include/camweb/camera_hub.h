// The loop thread's side of one camera: its viewers and waiting snapshots, fed from the
// camera's one capture, and its counters.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>

#include "camweb/camera_channel.h"
#include "camweb/loop_mailbox.h"
#include "camweb/metrics.h"
#include "camweb/viewer_stream.h"

struct event;
struct event_base;
struct evhttp_request;

class CameraHub {
 public:
  // A snapshot's answer: the frame, or nothing when the camera could not give one in time.
  using SnapshotDone = std::function<void(std::shared_ptr<const Frame>)>;
  // A viewer's stream has ended or its connection closed: for the request log.
  using StreamEnded = std::function<void(const ViewerStream&)>;

  CameraHub(int index, event_base* base, LoopMailbox& mailbox, ChannelTiming timing, StreamEnded ended);
  CameraHub(const CameraHub&) = delete;
  CameraHub& operator=(const CameraHub&) = delete;
  ~CameraHub();

  // Why a stream or snapshot of `size` cannot be served now (the capture runs at another
  // size for others), or nothing.
  std::optional<std::string> SizeConflict(FrameSize size) const;
  // Starts the viewer's stream; stalled viewers are dropped after `writeTimeout`.
  void AddViewer(evhttp_request* request, std::string target, FrameSize size, int fps,
                 std::chrono::seconds writeTimeout);
  void TakeSnapshot(FrameSize size, std::chrono::milliseconds timeout, SnapshotDone done);
  // `done` runs on the loop thread. After a size change, streams of the old size end.
  void Change(const SettingsChange& change, std::function<void(ChangeOutcome)> done);
  void EndAll();

  CameraStatus Status() const { return channel_->Status(); }
  CameraCounters Counters() const;
  int Viewers() const { return static_cast<int>(viewers_.size()); }
  double DeliveredFps() const;

 private:
  struct Snapshot {
    FrameSize size;
    SnapshotDone done;
    event* timer = nullptr;
    CameraHub* hub = nullptr;
  };

  void OnFrame(std::shared_ptr<const Frame> frame);
  void OnGone();
  void EndViewersNotOf(std::optional<FrameSize> keep);
  void Finish(std::list<Snapshot>::iterator snapshot, std::shared_ptr<const Frame> frame);
  void RemoveViewer(ViewerStream& viewer);
  void UpdateDemand();
  static void SnapshotExpired(int, short, void* self);

  const int index_;
  event_base* base_;
  LoopMailbox& mailbox_;
  const StreamEnded ended_;
  std::list<std::unique_ptr<ViewerStream>> viewers_;
  std::list<Snapshot> snapshots_;
  CameraCounters counters_;
  std::deque<SteadyClock::time_point> recentDeliveries_;  // one per frame that reached any viewer
  std::unique_ptr<CameraChannel> channel_;                // last: its worker stops before the rest goes
};
