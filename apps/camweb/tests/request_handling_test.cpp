// camweb's own request handling: routing with its query checks, the JSON body of a
// settings change, Basic authentication, the log line and the metrics text.
#include <gtest/gtest.h>

#include "camweb/basic_auth.h"
#include "camweb/camera_settings.h"
#include "camweb/metrics.h"
#include "camweb/request_log.h"
#include "camweb/request_router.h"

namespace {

struct RouteCase {
  const char* method;
  const char* target;
  int status;  // 0: routed
  Page page = Page::kIndex;
  int camera = 0;
  FrameSize size = kLargeFrame;
  int fps = 25;
};

class Routing : public ::testing::TestWithParam<RouteCase> {};

TEST_P(Routing, RoutesOrRefusesWithA4xx) {
  const RouteCase& c = GetParam();
  const auto routed = RouteRequest(c.method, c.target);
  if (c.status != 0) {
    ASSERT_TRUE(std::holds_alternative<Refusal>(routed)) << c.target;
    EXPECT_EQ(std::get<Refusal>(routed).status, c.status);
    EXPECT_FALSE(std::get<Refusal>(routed).reason.empty());
    return;
  }
  ASSERT_TRUE(std::holds_alternative<Route>(routed)) << std::get<Refusal>(routed).reason;
  const Route& route = std::get<Route>(routed);
  EXPECT_EQ(route.page, c.page);
  EXPECT_EQ(route.camera, c.camera);
  EXPECT_EQ(route.size, c.size);
  EXPECT_EQ(route.fps, c.fps);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, Routing,
    ::testing::Values(RouteCase{"GET", "/", 0, Page::kIndex}, RouteCase{"GET", "/stream", 0, Page::kStream},
                      RouteCase{"GET", "/stream?camera=8&size=320x240&fps=30", 0, Page::kStream, 8, kSmallFrame, 30},
                      RouteCase{"GET", "/stream?fps=1&t=123&camera=%32", 0, Page::kStream, 2, kLargeFrame, 1},
                      RouteCase{"GET", "/snapshot?size=320x240", 0, Page::kSnapshot, 0, kSmallFrame},
                      RouteCase{"GET", "/api/cameras", 0, Page::kCameraList},
                      RouteCase{"POST", "/api/cameras/3", 0, Page::kCameraChange, 3},
                      RouteCase{"GET", "/metrics", 0, Page::kMetrics}, RouteCase{"GET", "/stream?camera=9", 400},
                      RouteCase{"GET", "/stream?camera=-1", 400}, RouteCase{"GET", "/stream?camera=0x1", 400},
                      RouteCase{"GET", "/stream?camera=", 400}, RouteCase{"GET", "/stream?size=800x600", 400},
                      RouteCase{"GET", "/stream?fps=0", 400}, RouteCase{"GET", "/stream?fps=31", 400},
                      RouteCase{"GET", "/stream?camera=%4", 400}, RouteCase{"GET", "/stream?camera=%zz", 400},
                      RouteCase{"GET", "/streams", 404}, RouteCase{"GET", "/api/cameras/9", 404},
                      RouteCase{"GET", "/api/cameras/0", 405}, RouteCase{"POST", "/stream", 405},
                      RouteCase{"DELETE", "/metrics", 405}));

struct BodyCase {
  const char* body;
  bool accepted;
  SettingsChange expected;
};

class SettingsBody : public ::testing::TestWithParam<BodyCase> {};

TEST_P(SettingsBody, ParsesOrGivesTheReason) {
  const BodyCase& c = GetParam();
  const auto parsed = ParseSettingsChange(c.body);
  if (!c.accepted) {
    ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.body;
    EXPECT_FALSE(std::get<std::string>(parsed).empty());
    return;
  }
  ASSERT_TRUE(std::holds_alternative<SettingsChange>(parsed)) << std::get<std::string>(parsed);
  const auto& change = std::get<SettingsChange>(parsed);
  EXPECT_EQ(change.size, c.expected.size);
  EXPECT_EQ(change.lightMode, c.expected.lightMode);
  EXPECT_EQ(change.exposure, c.expected.exposure);
  EXPECT_EQ(change.bandwidth, c.expected.bandwidth);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, SettingsBody,
    ::testing::Values(BodyCase{R"({"size":"320x240","light_mode":0,"exposure":"auto","bandwidth":7})", true,
                               SettingsChange{kSmallFrame, 0, Exposure{true, 0}, 7}},
                      BodyCase{R"({"exposure":100})", true, SettingsChange{{}, {}, Exposure{false, 100}, {}}},
                      BodyCase{R"({"exposure":1})", true, SettingsChange{{}, {}, Exposure{false, 1}, {}}},
                      BodyCase{R"({"light_mode":1})", true, SettingsChange{{}, 1, {}, {}}},  // the driver judges it
                      BodyCase{R"({"exposure":0})", false, {}}, BodyCase{R"({"exposure":101})", false, {}},
                      BodyCase{R"({"exposure":"manual"})", false, {}}, BodyCase{R"({"exposure":50.5})", false, {}},
                      BodyCase{R"({"bandwidth":-1})", false, {}}, BodyCase{R"({"bandwidth":"3"})", false, {}},
                      BodyCase{R"({"light_mode":4294967296})", false, {}}, BodyCase{R"({"size":"640x481"})", false, {}},
                      BodyCase{R"({"colour":1})", false, {}}, BodyCase{R"({})", false, {}},
                      BodyCase{R"([1])", false, {}}, BodyCase{R"({"size":)", false, {}}, BodyCase{"", false, {}}));

TEST(SettingsJson, NamesEveryMember) {
  const CameraSettings settings{kSmallFrame, 0, Exposure{false, 42}, 3};
  EXPECT_EQ(SettingsJsonMembers(settings), R"("size":"320x240","light_mode":0,"exposure":42,"bandwidth":3)");
  EXPECT_EQ(SettingsJsonMembers(CameraSettings{}),
            R"("size":"640x480","light_mode":2,"exposure":"auto","bandwidth":0)");
}

TEST(BasicAuthentication, EncodesAsBase64AndAdmitsOnlyTheCredentials) {
  const char* vectors[][2] = {{"", ""},
                              {"f", "Zg=="},
                              {"fo", "Zm8="},
                              {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="},
                              {"fooba", "Zm9vYmE="},
                              {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : vectors) EXPECT_EQ(Base64(plain), encoded) << plain;

  const BasicAuth auth("ann:secret");
  EXPECT_TRUE(auth.Admits("Basic " + Base64("ann:secret")));
  EXPECT_TRUE(auth.Admits("basic  " + Base64("ann:secret") + " "));
  EXPECT_FALSE(auth.Admits(std::nullopt));
  EXPECT_FALSE(auth.Admits("Basic " + Base64("ann:secreT")));
  EXPECT_FALSE(auth.Admits("Basic " + Base64("ann:secret2")));
  EXPECT_FALSE(auth.Admits("Basic " + Base64("ann:secre")));
  EXPECT_FALSE(auth.Admits("Bearer " + Base64("ann:secret")));
  EXPECT_FALSE(auth.Admits(""));
}

TEST(RequestLog, OneLineWithEveryFigureAndNoForgedLines) {
  EXPECT_EQ(RequestLogLine("GET", "/stream?camera=0", 200, 1234, std::chrono::milliseconds(10020)),
            "GET /stream?camera=0 200 1234 bytes 10.020 s");
  EXPECT_EQ(RequestLogLine("GET", "/x\r\nGET /forged", 404, 5, std::chrono::microseconds(1500)),
            "GET /x%0D%0AGET%20/forged 404 5 bytes 1.5 ms");
}

TEST(Metrics, RendersEveryCameraCounterAndStatus) {
  MetricsSnapshot metrics;
  metrics.cameras.push_back(CameraCounters{1, 100, 2, true, 300, 7, 4096, 3});
  metrics.requestsByStatus = {{200, 5}, {404, 1}};
  const std::string text = RenderPrometheus(metrics);
  for (const char* line :
       {"camweb_frames_captured_total{camera=\"1\"} 100\n", "camweb_capture_starts_total{camera=\"1\"} 2\n",
        "camweb_capture_running{camera=\"1\"} 1\n", "camweb_frames_sent_total{camera=\"1\"} 300\n",
        "camweb_frames_dropped_total{camera=\"1\"} 7\n", "camweb_bytes_sent_total{camera=\"1\"} 4096\n",
        "camweb_viewers{camera=\"1\"} 3\n", "camweb_http_requests_total{status=\"200\"} 5\n",
        "camweb_http_requests_total{status=\"404\"} 1\n", "# TYPE camweb_viewers gauge\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

}  // namespace
