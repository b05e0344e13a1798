// camweb as a real process on loopback: streams read back by ffprobe and by plain
// clients, many viewers at once on one capture, slow and idle connections, bad requests,
// authentication, settings changes and a camera that is unplugged and comes back.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "camweb/frame_size.h"
#include "camweb_process.h"
#include "http_client.h"
#include "testing/jpeg_check.h"

namespace {

using std::chrono::seconds;

double Metric(uint16_t port, const std::string& series) {
  const std::string text = Get(port, "/metrics").body;
  const size_t at = text.find("\n" + series + " ");
  return at == std::string::npos ? -1 : std::atof(text.c_str() + at + series.size() + 2);
}

nlohmann::json Camera(uint16_t port, int index = 0) {
  const auto list = nlohmann::json::parse(Get(port, "/api/cameras").body, nullptr, false);
  if (list.is_discarded()) return {};
  for (const auto& camera : list["cameras"]) {
    if (camera["index"] == index) return camera;
  }
  return {};
}

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  while (pipe != nullptr && fgets(buffer, sizeof(buffer), pipe) != nullptr) output += buffer;
  if (pipe != nullptr) pclose(pipe);
  return output;
}

class Camweb : public ::testing::Test {
 protected:
  void Start(const std::string& devices = "emu", std::vector<std::string> extra = {}) {
    camweb_ = std::make_unique<CamwebProcess>(FindFreePort(), devices, std::move(extra));
    ASSERT_TRUE(camweb_->Ready()) << camweb_->Output();
    port_ = camweb_->Port();
  }
  void TearDown() override {
    if (!camweb_) return;
    camweb_->SendSignal(SIGTERM);
    EXPECT_EQ(camweb_->WaitForExit(milliseconds(10000)), 0) << camweb_->Output();
  }
  std::unique_ptr<CamwebProcess> camweb_;
  uint16_t port_ = 0;
};

class StreamSize : public Camweb, public ::testing::WithParamInterface<FrameSize> {};

TEST_P(StreamSize, FfprobeReadsFramesOfTheAskedSizeAndEveryPartDecodes) {
  Start();
  const std::string size = FormatFrameSize(GetParam());
  const std::string url = "http://127.0.0.1:" + std::to_string(port_) + "/stream?size=" + size;
  const std::string probe = RunCommand(
      "timeout 20 ffprobe -v error -f mpjpeg -select_streams v -count_packets "
      "-read_intervals %+#12 -show_entries stream=width,height,nb_read_packets "
      "-of default=noprint_wrappers=1 '" +
      url + "' 2>&1");
  EXPECT_NE(probe.find("width=" + std::to_string(GetParam().width)), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=" + std::to_string(GetParam().height)), std::string::npos) << probe;
  EXPECT_NE(probe.find("nb_read_packets=12"), std::string::npos) << probe;

  StreamViewer viewer(port_, "/stream?size=" + size);
  viewer.keep = 10;
  ASSERT_TRUE(viewer.WaitForParts(10, milliseconds(5000)));
  EXPECT_EQ(viewer.Status(), 200);
  EXPECT_FALSE(viewer.Malformed());
  for (const auto& part : viewer.kept) {
    const auto image = DecodeJpeg(part.jpeg);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, GetParam().width);
    EXPECT_EQ(image->height, GetParam().height);
  }
}

std::string SizeName(const ::testing::TestParamInfo<FrameSize>& size) { return FormatFrameSize(size.param); }

INSTANTIATE_TEST_SUITE_P(BothSizes, StreamSize, ::testing::Values(kLargeFrame, kSmallFrame), SizeName);

TEST_F(Camweb, ThirtyTwoViewersShareOneCaptureAtNearlyTheFullRate) {
  Start();
  constexpr int kViewers = 32;
  constexpr auto kWatch = seconds(10);
  std::vector<std::unique_ptr<StreamViewer>> viewers;
  std::vector<StreamViewer*> all;
  for (int i = 0; i < kViewers; ++i) {
    viewers.push_back(std::make_unique<StreamViewer>(port_, "/stream?camera=0&size=640x480&fps=25"));
    all.push_back(viewers.back().get());
  }
  PumpAll(all, milliseconds(kWatch));
  EXPECT_EQ(Metric(port_, "camweb_viewers{camera=\"0\"}"), kViewers);
  EXPECT_EQ(Metric(port_, "camweb_capture_starts_total{camera=\"0\"}"), 1);
  EXPECT_EQ(Metric(port_, "camweb_capture_running{camera=\"0\"}"), 1);
  const size_t wanted = 25 * 10 * 9 / 10;
  for (const auto& viewer : viewers) {
    EXPECT_GE(viewer->PartCount(), wanted);
    EXPECT_FALSE(viewer->Malformed());
  }
}

TEST_F(Camweb, AViewerThatStopsReadingDoesNotSlowTheOthers) {
  Start();
  // Never read, with a small window: the server's writes to it stall at once.
  StreamViewer stalled(port_, "/stream", 4096);
  std::vector<std::unique_ptr<StreamViewer>> viewers;
  std::vector<StreamViewer*> readers;
  for (int i = 0; i < 4; ++i) {
    viewers.push_back(std::make_unique<StreamViewer>(port_, "/stream"));
    readers.push_back(viewers.back().get());
  }
  StreamViewer paced(port_, "/stream?fps=5");
  readers.push_back(&paced);
  PumpAll(readers, milliseconds(5000));
  for (size_t i = 0; i < viewers.size(); ++i) EXPECT_GE(readers[i]->PartCount(), 25u * 5 * 9 / 10);
  // A viewer that asked for fewer frames gets that many.
  EXPECT_GE(paced.PartCount(), 5u * 5 * 9 / 10);
  EXPECT_LE(paced.PartCount(), 5u * 5 + 2);
  // The stalled viewer skipped frames rather than queueing them.
  EXPECT_GT(Metric(port_, "camweb_frames_dropped_total{camera=\"0\"}"), 0);
}

TEST_F(Camweb, IdleAndHalfSentConnectionsDoNotKeepANewViewerWaiting) {
  Start();
  std::vector<int> sockets;
  for (int i = 0; i < 200; ++i) {
    const int fd = ConnectTo(port_);
    ASSERT_GE(fd, 0);
    if (i % 2 == 1) {
      const std::string half = "GET /stream?camera=0 HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: ";
      send(fd, half.data(), half.size(), MSG_NOSIGNAL);
    }
    sockets.push_back(fd);
  }
  auto viewer = std::make_unique<StreamViewer>(port_, "/stream");
  EXPECT_TRUE(viewer->WaitForParts(1, milliseconds(1000)));
  for (const int fd : sockets) close(fd);

  // The capture outlives its last viewer by a few seconds, then stops.
  viewer.reset();
  std::this_thread::sleep_for(milliseconds(1000));
  EXPECT_EQ(Metric(port_, "camweb_capture_running{camera=\"0\"}"), 1);
  std::this_thread::sleep_for(milliseconds(3500));
  EXPECT_EQ(Metric(port_, "camweb_capture_running{camera=\"0\"}"), 0);
  EXPECT_EQ(Metric(port_, "camweb_viewers{camera=\"0\"}"), 0);
}

class BadRequest : public Camweb, public ::testing::WithParamInterface<std::string> {};

TEST_P(BadRequest, GetsA4xxAndTheServerStaysUp) {
  Start();
  const HttpAnswer answer = Exchange(port_, GetParam());
  EXPECT_GE(answer.status, 400);
  EXPECT_LT(answer.status, 500);
  EXPECT_EQ(Get(port_, "/api/cameras").status, 200);
}

std::string Request(const std::string& line, const std::string& headers = {}, const std::string& body = {}) {
  return line + "\r\nHost: 127.0.0.1\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

INSTANTIATE_TEST_SUITE_P(Requests, BadRequest,
                         ::testing::Values("GARBAGE\r\n\r\n", "GET /\r\n\r\n",
                                           Request("GET / HTTP/1.1", "X-Big: " + std::string(20000, 'a') + "\r\n"),
                                           Request("GET /" + std::string(9000, 'a') + " HTTP/1.1"),
                                           Request("GET /nothing HTTP/1.1"), Request("GET /stream?camera=9 HTTP/1.1"),
                                           Request("GET /stream?camera=3 HTTP/1.1"),
                                           Request("GET /snapshot?size=1x1 HTTP/1.1"),
                                           Request("POST /api/cameras/0 HTTP/1.1", {}, "{\"light_mode\":"),
                                           Request("POST /api/cameras/0 HTTP/1.1", {}, std::string(20000, '[')),
                                           Request("POST /api/cameras/0 HTTP/1.1", {}, "{\"exposure\":500}"),
                                           Request("DELETE /api/cameras/0 HTTP/1.1")));

TEST_F(Camweb, BasicAuthenticationGuardsEveryPath) {
  Start("emu", {"--auth", "ann:secret"});
  const std::string good = "Authorization: Basic " + std::string("YW5uOnNlY3JldA==") + "\r\n";
  const std::string wrong = "Authorization: Basic " + std::string("YW5uOnNlY3JldDI=") + "\r\n";  // ann:secret2
  for (const char* target : {"/", "/api/cameras", "/metrics", "/stream", "/snapshot", "/nothing"}) {
    HttpAnswer refused = Get(port_, target, wrong);
    EXPECT_EQ(refused.status, 401) << target;
    EXPECT_NE(refused.headers["www-authenticate"].find("Basic"), std::string::npos);
    EXPECT_EQ(Get(port_, target).status, 401) << target;
  }
  EXPECT_EQ(Get(port_, "/api/cameras", good).status, 200);
  EXPECT_EQ(Get(port_, "/snapshot", good).status, 200);
}

TEST_F(Camweb, SettingsChangesAnswerWhatTheDriverAccepted) {
  Start();
  StreamViewer viewer(port_, "/stream?size=640x480");
  ASSERT_TRUE(viewer.WaitForParts(3, milliseconds(5000)));

  HttpAnswer answer = Post(port_, "/api/cameras/0", R"({"light_mode":0,"exposure":40,"bandwidth":5})");
  ASSERT_EQ(answer.status, 200) << answer.body;
  EXPECT_EQ(nlohmann::json::parse(answer.body)["bandwidth"], 5);
  // Light mode 1 has no values for the sensor: the capture would not start with it.
  answer = Post(port_, "/api/cameras/0", R"({"light_mode":1})");
  EXPECT_EQ(answer.status, 422);
  EXPECT_NE(answer.body.find("light mode 1"), std::string::npos) << answer.body;
  EXPECT_EQ(Post(port_, "/api/cameras/0", R"({"bandwidth":8})").status, 422);
  nlohmann::json camera = Camera(port_);
  EXPECT_EQ(camera["light_mode"], 0);
  EXPECT_EQ(camera["exposure"], 40);
  EXPECT_EQ(camera["bandwidth"], 5);
  // The refused values left the capture running for the viewer.
  const size_t before = viewer.PartCount();
  EXPECT_TRUE(viewer.WaitForParts(before + 5, milliseconds(3000)));

  // Another size is a conflict while someone watches; a size change ends those streams.
  EXPECT_EQ(Get(port_, "/snapshot?size=320x240").status, 409);
  EXPECT_EQ(Post(port_, "/api/cameras/0", R"({"size":"320x240"})").status, 200);
  EXPECT_TRUE(viewer.WaitForClose(milliseconds(3000)));
  EXPECT_TRUE(viewer.Ended());
  const HttpAnswer snapshot = Get(port_, "/snapshot?size=320x240");
  ASSERT_EQ(snapshot.status, 200);
  const auto image =
      DecodeJpeg(std::span(reinterpret_cast<const uint8_t*>(snapshot.body.data()), snapshot.body.size()));
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width, 320);
  EXPECT_EQ(Camera(port_)["size"], "320x240");
}

TEST_F(Camweb, AnUnpluggedCameraEndsItsStreamsAndStreamsAgainWhenBack) {
  Start("emu:unplug=2,replug=2");
  StreamViewer viewer(port_, "/stream?size=320x240");
  ASSERT_TRUE(viewer.WaitForParts(5, milliseconds(3000)));
  ASSERT_TRUE(viewer.WaitForClose(milliseconds(5000)));
  EXPECT_TRUE(viewer.Ended());
  EXPECT_FALSE(viewer.Malformed());
  EXPECT_EQ(Camera(port_)["state"], "gone");
  EXPECT_EQ(Get(port_, "/stream").status, 503);

  const auto deadline = std::chrono::steady_clock::now() + seconds(8);
  while (Camera(port_)["state"] == "gone" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(100));
  }
  EXPECT_EQ(Camera(port_)["state"], "idle");
  StreamViewer again(port_, "/stream?size=320x240");
  EXPECT_TRUE(again.WaitForParts(5, milliseconds(3000)));
}

TEST(CamwebStartUp, APortInUseEndsTheProgramWithTheReason) {
  const int holder = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(holder, 1), 0);
  getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
  CamwebProcess camweb(ntohs(address.sin_port));
  EXPECT_EQ(camweb.WaitForExit(milliseconds(10000)), 1);
  EXPECT_NE(camweb.Output().find("Address already in use"), std::string::npos) << camweb.Output();
  close(holder);
}

}  // namespace
