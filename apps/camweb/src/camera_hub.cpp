#include "camweb/camera_hub.h"

#include <event2/event.h>

#include <algorithm>

namespace {

constexpr auto kFpsWindow = std::chrono::seconds(2);

}  // namespace

CameraHub::CameraHub(int index, event_base* base, LoopMailbox& mailbox, ChannelTiming timing, StreamEnded ended)
    : index_(index), base_(base), mailbox_(mailbox), ended_(std::move(ended)) {
  counters_.camera = index;
  CameraChannel::Listener listener{
      [this, &mailbox](std::shared_ptr<const Frame> frame) { mailbox.Post([this, frame] { OnFrame(frame); }); },
      [this, &mailbox] { mailbox.Post([this] { OnGone(); }); }};
  channel_ = std::make_unique<CameraChannel>(index, std::move(listener), timing);
}

CameraHub::~CameraHub() {
  channel_.reset();
  for (Snapshot& snapshot : snapshots_) event_free(snapshot.timer);
}

std::optional<std::string> CameraHub::SizeConflict(FrameSize size) const {
  auto other = [size](FrameSize s) { return s != size; };
  const bool viewerAtOther =
      std::any_of(viewers_.begin(), viewers_.end(), [&](const auto& v) { return other(v->Size()); });
  const bool snapshotAtOther =
      std::any_of(snapshots_.begin(), snapshots_.end(), [&](const Snapshot& s) { return other(s.size); });
  if (!viewerAtOther && !snapshotAtOther) return std::nullopt;
  return "camera " + std::to_string(index_) + " streams at " + FormatFrameSize(channel_->Status().settings.size) +
         " to others now; ask that size, or change it with POST /api/cameras/" + std::to_string(index_);
}

void CameraHub::AddViewer(evhttp_request* request, std::string target, FrameSize size, int fps,
                          std::chrono::seconds writeTimeout) {
  viewers_.push_back(std::make_unique<ViewerStream>(request, std::move(target), size, fps,
                                                    [this](ViewerStream& viewer) { RemoveViewer(viewer); }));
  viewers_.back()->Begin(writeTimeout);
  UpdateDemand();
}

void CameraHub::RemoveViewer(ViewerStream& viewer) {
  const auto found = std::find_if(viewers_.begin(), viewers_.end(), [&](const auto& v) { return v.get() == &viewer; });
  if (found == viewers_.end()) return;
  const std::unique_ptr<ViewerStream> leaving = std::move(*found);
  viewers_.erase(found);
  ended_(*leaving);
  UpdateDemand();
}

void CameraHub::TakeSnapshot(FrameSize size, std::chrono::milliseconds timeout, SnapshotDone done) {
  snapshots_.push_back(Snapshot{size, std::move(done), nullptr, this});
  Snapshot& snapshot = snapshots_.back();
  snapshot.timer = evtimer_new(base_, &CameraHub::SnapshotExpired, &snapshot);
  const timeval wait{static_cast<time_t>(timeout.count() / 1000),
                     static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
  evtimer_add(snapshot.timer, &wait);
  UpdateDemand();
}

void CameraHub::SnapshotExpired(int, short, void* self) {
  auto* snapshot = static_cast<Snapshot*>(self);
  CameraHub& hub = *snapshot->hub;
  const auto found =
      std::find_if(hub.snapshots_.begin(), hub.snapshots_.end(), [&](const Snapshot& s) { return &s == snapshot; });
  if (found != hub.snapshots_.end()) hub.Finish(found, nullptr);
  hub.UpdateDemand();
}

void CameraHub::Finish(std::list<Snapshot>::iterator snapshot, std::shared_ptr<const Frame> frame) {
  event_free(snapshot->timer);
  const SnapshotDone done = std::move(snapshot->done);
  snapshots_.erase(snapshot);
  if (frame) {
    ++counters_.framesSent;
    counters_.bytesSent += frame->jpeg.size();
  }
  done(std::move(frame));
}

void CameraHub::Change(const SettingsChange& change, std::function<void(ChangeOutcome)> done) {
  // The worker answers on its thread; the answer comes back here through the mailbox.
  channel_->Change(change, [this, done = std::move(done)](ChangeOutcome outcome) {
    mailbox_.Post([this, done, outcome] {
      if (outcome.status == 200) {
        EndViewersNotOf(outcome.settings.size);
        UpdateDemand();
      }
      done(outcome);
    });
  });
}

void CameraHub::EndViewersNotOf(std::optional<FrameSize> keep) {
  for (auto it = viewers_.begin(); it != viewers_.end();) {
    if (keep && (*it)->Size() == *keep) {
      ++it;
      continue;
    }
    (*it)->End();
    ended_(**it);
    it = viewers_.erase(it);
  }
}

void CameraHub::EndAll() {
  EndViewersNotOf(std::nullopt);
  while (!snapshots_.empty()) Finish(snapshots_.begin(), nullptr);
  UpdateDemand();
}

void CameraHub::OnFrame(std::shared_ptr<const Frame> frame) {
  if (!viewers_.empty()) {
    recentDeliveries_.push_back(frame->captured);
    while (recentDeliveries_.front() < frame->captured - kFpsWindow) recentDeliveries_.pop_front();
  }
  for (auto& viewer : viewers_) viewer->Offer(frame, counters_);
  bool answered = false;
  for (auto it = snapshots_.begin(); it != snapshots_.end();) {
    const auto next = std::next(it);
    if (it->size == frame->size) {
      Finish(it, frame);
      answered = true;
    }
    it = next;
  }
  if (answered) UpdateDemand();
}

void CameraHub::OnGone() { EndAll(); }

void CameraHub::UpdateDemand() {
  const int users = static_cast<int>(viewers_.size() + snapshots_.size());
  FrameSize size = kLargeFrame;
  if (!viewers_.empty())
    size = viewers_.front()->Size();
  else if (!snapshots_.empty())
    size = snapshots_.front().size;
  channel_->SetDemand(users, size);
}

CameraCounters CameraHub::Counters() const {
  CameraCounters counters = counters_;
  const CameraStatus status = channel_->Status();
  counters.framesCaptured = status.framesCaptured;
  counters.captureStarts = status.captureStarts;
  counters.capturing = status.state == CameraState::kCapturing;
  counters.viewers = Viewers();
  return counters;
}

double CameraHub::DeliveredFps() const {
  if (recentDeliveries_.size() < 2 || SteadyClock::now() - recentDeliveries_.back() > kFpsWindow) return 0;
  const auto span = std::chrono::duration<double>(recentDeliveries_.back() - recentDeliveries_.front()).count();
  return span > 0 ? static_cast<double>(recentDeliveries_.size() - 1) / span : 0;
}
