// The timeline of a constant-rate recording against cameras slower and faster than it.
#include "avi/frame_timeline.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Clock = FrameTimeline::Clock;
using std::chrono::milliseconds;

struct Camera {
  const char* name;
  int fileRate;
  double cameraRate;
  int periodsBetweenChecks;  // how often Repeats is asked between frames (0: never)
};

void PrintTo(const Camera& c, std::ostream* out) { *out << c.name; }

class TimelineAgainstCamera : public ::testing::TestWithParam<Camera> {};

// Ten seconds of frames at the camera's rate make ten seconds of file at the file's rate.
TEST_P(TimelineAgainstCamera, DurationMatchesTheTimeCoveredWithinOnePeriod) {
  const Camera& c = GetParam();
  FrameTimeline timeline(c.fileRate);
  const Clock::time_point start{};
  const auto cameraPeriod = std::chrono::duration<double>(1.0 / c.cameraRate);
  uint64_t taken = 0;
  Clock::time_point now = start;
  for (int n = 0; now - start < std::chrono::seconds(10); ++n) {
    now = start + std::chrono::duration_cast<Clock::duration>(cameraPeriod * n);
    const FrameTimeline::Step step = timeline.NewFrame(now);
    taken += step.take ? 1 : 0;
    for (int k = 1; k <= c.periodsBetweenChecks; ++k) {
      timeline.Repeats(now +
                       std::chrono::duration_cast<Clock::duration>(cameraPeriod * k / (c.periodsBetweenChecks + 1)));
    }
  }
  timeline.Repeats(now);
  const double fileSeconds = static_cast<double>(timeline.chunks()) / c.fileRate;
  const double covered = std::chrono::duration<double>(now - start).count();
  EXPECT_NEAR(fileSeconds, covered, 1.0 / c.fileRate + 1e-9);
  // A slower camera gives every frame; a faster one as many as the file has periods.
  EXPECT_EQ(taken, c.cameraRate <= c.fileRate ? static_cast<uint64_t>(std::llround(covered * c.cameraRate)) + 1
                                              : timeline.chunks());
}

INSTANTIATE_TEST_SUITE_P(Rates, TimelineAgainstCamera,
                         ::testing::Values(Camera{"SlowCamera", 25, 15, 0}, Camera{"SlowCameraChecked", 25, 15, 3},
                                           Camera{"SameRate", 25, 25, 1}, Camera{"FastCamera", 25, 30, 0},
                                           Camera{"FastAskedRate", 30, 25, 0}),
                         [](const ::testing::TestParamInfo<Camera>& c) { return std::string(c.param.name); });

TEST(FrameTimeline, RepeatsThePreviousFrameForPeriodsWithoutANewOne) {
  FrameTimeline timeline(25);
  const Clock::time_point start{};
  EXPECT_EQ(timeline.Repeats(start + milliseconds(500)), 0u) << "nothing before the first frame";
  EXPECT_TRUE(timeline.NewFrame(start).take);
  // Periods run from -20 ms: [-20, 20), [20, 60), [60, 100) ...
  EXPECT_EQ(timeline.Repeats(start + milliseconds(59)), 0u) << "the second period is not over";
  EXPECT_EQ(timeline.Repeats(start + milliseconds(60)), 1u);
  const FrameTimeline::Step step = timeline.NewFrame(start + milliseconds(199));  // period 5
  EXPECT_EQ(step.repeats, 3u);  // periods 2 to 4 still showed the first frame
  EXPECT_TRUE(step.take);
  EXPECT_EQ(timeline.chunks(), 6u);
  EXPECT_FALSE(timeline.NewFrame(start + milliseconds(215)).take) << "a second frame in one period is left out";
  EXPECT_TRUE(timeline.NewFrame(start + milliseconds(245)).take) << "paced frames with jitter are all taken";
}

}  // namespace
