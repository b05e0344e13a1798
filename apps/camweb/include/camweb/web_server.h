// The web interface over HTTP/1.1 (libevent's evhttp): the page, the MJPEG streams,
// snapshots, the camera API and the metrics, all on one event loop thread, with one
// worker thread per camera in use.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "camclient/camclient.h"
#include "camweb/basic_auth.h"
#include "camweb/camera_hub.h"
#include "camweb/loop_mailbox.h"
#include "camweb/request_router.h"

struct event;
struct event_base;
struct evhttp;
struct evhttp_request;

struct WebOptions {
  std::string bind = "127.0.0.1";
  uint16_t port = 8080;
  std::optional<std::string> auth;        // USER:PASSWORD
  std::chrono::seconds idleTimeout{10};   // a connection that sends no whole request
  std::chrono::seconds writeTimeout{10};  // a viewer that takes nothing
  std::chrono::milliseconds snapshotTimeout{3000};
  ChannelTiming timing;
};

class WebServer {
 public:
  explicit WebServer(WebOptions options);
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;
  ~WebServer();

  // Listens on the bind address and port; false with the reason.
  bool Listen(std::string& error);
  // Serves until SIGINT or SIGTERM.
  void Run();

 private:
  static void Handle(evhttp_request* request, void* self);
  static void Quit(int, short, void* self);
  void Serve(evhttp_request* request);
  void ServeRoute(evhttp_request* request, const Route& route, const std::string& target);
  void ServeStream(evhttp_request* request, const Route& route, const std::string& target);
  void ServeSnapshot(evhttp_request* request, const Route& route, const std::string& target);
  void ServeChange(evhttp_request* request, const Route& route, const std::string& target);
  // The camera's hub when it can serve a stream or snapshot of the route's size now;
  // otherwise the refusal is answered and the result is null.
  CameraHub* Admit(evhttp_request* request, const Route& route, const std::string& target,
                   SteadyClock::time_point started);
  // 404 or 503 with the reason when the camera cannot serve now.
  std::optional<Refusal> Unavailable(int camera);
  CameraHub& Hub(int camera);
  std::string CameraListJson();
  std::string MetricsText();
  void Answer(evhttp_request* request, const std::string& target, int status, const std::string& contentType,
              const std::string& body, SteadyClock::time_point started);
  void AnswerRefusal(evhttp_request* request, const std::string& target, const Refusal& refusal,
                     SteadyClock::time_point started);
  void Log(const std::string& method, const std::string& target, int status, uint64_t bytes,
           SteadyClock::duration taken);

  const WebOptions options_;
  const std::optional<BasicAuth> auth_;
  event_base* base_;
  evhttp* http_;
  std::unique_ptr<LoopMailbox> mailbox_;
  std::array<std::unique_ptr<CameraHub>, kCameraSlots> hubs_;
  std::map<int, uint64_t> requestsByStatus_;
  std::array<event*, 2> signals_{};
};
