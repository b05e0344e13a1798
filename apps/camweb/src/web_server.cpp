#include "camweb/web_server.h"

#include <event2/buffer.h>
#include <event2/event.h>
#include <event2/http.h>
#include <event2/keyvalq_struct.h>
#include <event2/thread.h>
#include <fcntl.h>
#include <netdb.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "camweb/camera_settings.h"
#include "camweb/index_page.h"
#include "camweb/metrics.h"
#include "camweb/request_log.h"

namespace {

constexpr size_t kMaxHeaderBytes = 8192;
constexpr size_t kMaxBodyBytes = 16384;
constexpr int kListenBacklog = 256;

const char* MethodName(evhttp_cmd_type command) {
  switch (command) {
    case EVHTTP_REQ_GET: return "GET";
    case EVHTTP_REQ_POST: return "POST";
    case EVHTTP_REQ_HEAD: return "HEAD";
    case EVHTTP_REQ_PUT: return "PUT";
    case EVHTTP_REQ_DELETE: return "DELETE";
    case EVHTTP_REQ_OPTIONS: return "OPTIONS";
    case EVHTTP_REQ_TRACE: return "TRACE";
    case EVHTTP_REQ_CONNECT: return "CONNECT";
    case EVHTTP_REQ_PATCH: return "PATCH";
  }
  return "OTHER";
}

const char* StatusText(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 422: return "Unprocessable Content";
    case 503: return "Service Unavailable";
  }
  return "Error";
}

// A listening socket of our own, so that a failure names its reason (the port in use...).
int OpenListener(const std::string& address, uint16_t port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string where = address + " port " + std::to_string(port);
  if (const int status = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found); status != 0) {
    error = "cannot listen on " + where + ": " + gai_strerror(status);
    return -1;
  }
  const int fd = socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  const bool listening = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0 &&
                         bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, kListenBacklog) == 0;
  const int reason = errno;
  freeaddrinfo(found);
  if (listening) return fd;
  error = "cannot listen on " + where + ": " + std::strerror(reason);
  if (fd >= 0) close(fd);
  return -1;
}

std::optional<std::string_view> Header(evhttp_request* request, const char* name) {
  const char* value = evhttp_find_header(evhttp_request_get_input_headers(request), name);
  if (value == nullptr) return std::nullopt;
  return std::string_view(value);
}

std::string Body(evhttp_request* request) {
  evbuffer* input = evhttp_request_get_input_buffer(request);
  std::string body(evbuffer_get_length(input), '\0');
  evbuffer_copyout(input, body.data(), body.size());
  return body;
}

}  // namespace

WebServer::WebServer(WebOptions options)
    : options_(std::move(options)),
      auth_(options_.auth ? std::optional<BasicAuth>(BasicAuth(*options_.auth)) : std::nullopt),
      base_((evthread_use_pthreads(), event_base_new())),
      http_(evhttp_new(base_)),
      mailbox_(std::make_unique<LoopMailbox>(base_)) {
  evhttp_set_gencb(http_, &WebServer::Handle, this);
  evhttp_set_timeout(http_, static_cast<int>(options_.idleTimeout.count()));
  evhttp_set_max_headers_size(http_, kMaxHeaderBytes);
  evhttp_set_max_body_size(http_, kMaxBodyBytes);
  evhttp_set_allowed_methods(http_, EVHTTP_REQ_GET | EVHTTP_REQ_POST | EVHTTP_REQ_HEAD | EVHTTP_REQ_PUT |
                                        EVHTTP_REQ_DELETE | EVHTTP_REQ_OPTIONS | EVHTTP_REQ_PATCH);
  const int quitSignals[] = {SIGINT, SIGTERM};
  for (size_t i = 0; i < signals_.size(); ++i) {
    signals_[i] = evsignal_new(base_, quitSignals[i], &WebServer::Quit, this);
    evsignal_add(signals_[i], nullptr);
  }
}

WebServer::~WebServer() {
  for (auto& hub : hubs_) {
    if (hub) hub->EndAll();
  }
  evhttp_free(http_);
  for (auto& hub : hubs_) hub.reset();
  mailbox_.reset();
  for (event* signal : signals_) event_free(signal);
  event_base_free(base_);
}

bool WebServer::Listen(std::string& error) {
  const int fd = OpenListener(options_.bind, options_.port, error);
  if (fd < 0) return false;
  if (evhttp_accept_socket_with_handle(http_, fd) == nullptr) {
    error = "cannot serve on " + options_.bind + " port " + std::to_string(options_.port);
    close(fd);
    return false;
  }
  return true;
}

void WebServer::Run() {
  // Named apart from the driver's and the emulated camera's threads, which inherit the
  // program's name, so that a profile or /proc tells the network's time from theirs.
  pthread_setname_np(pthread_self(), "camweb-http");
  event_base_dispatch(base_);
}

void WebServer::Quit(int, short, void* self) { event_base_loopbreak(static_cast<WebServer*>(self)->base_); }

void WebServer::Handle(evhttp_request* request, void* self) { static_cast<WebServer*>(self)->Serve(request); }

void WebServer::Serve(evhttp_request* request) {
  const auto started = SteadyClock::now();
  const char* uri = evhttp_request_get_uri(request);
  const std::string target = uri != nullptr ? uri : "";
  if (auth_ && !auth_->Admits(Header(request, "Authorization"))) {
    evhttp_add_header(evhttp_request_get_output_headers(request), "WWW-Authenticate", BasicAuth::kChallenge);
    AnswerRefusal(request, target, Refusal{401, "this camera needs a user name and password", {}}, started);
    return;
  }
  const auto routed = RouteRequest(MethodName(evhttp_request_get_command(request)), target);
  if (const auto* refusal = std::get_if<Refusal>(&routed)) {
    AnswerRefusal(request, target, *refusal, started);
    return;
  }
  ServeRoute(request, std::get<Route>(routed), target);
}

void WebServer::ServeRoute(evhttp_request* request, const Route& route, const std::string& target) {
  const auto started = SteadyClock::now();
  switch (route.page) {
    case Page::kIndex: Answer(request, target, 200, "text/html; charset=utf-8", kIndexPage, started); return;
    case Page::kMetrics:
      Answer(request, target, 200, "text/plain; version=0.0.4; charset=utf-8", MetricsText(), started);
      return;
    case Page::kCameraList: Answer(request, target, 200, "application/json", CameraListJson(), started); return;
    case Page::kStream: ServeStream(request, route, target); return;
    case Page::kSnapshot: ServeSnapshot(request, route, target); return;
    case Page::kCameraChange: ServeChange(request, route, target); return;
  }
}

std::optional<Refusal> WebServer::Unavailable(int camera) {
  if (hubs_[camera] && hubs_[camera]->Status().state == CameraState::kGone) {
    return Refusal{503, "camera " + std::to_string(camera) + " is gone (unplugged); it comes back when re-plugged", {}};
  }
  if (camera >= CountCameras()) return Refusal{404, "no camera " + std::to_string(camera), {}};
  return std::nullopt;
}

CameraHub& WebServer::Hub(int camera) {
  auto& hub = hubs_[camera];
  if (!hub) {
    hub = std::make_unique<CameraHub>(camera, base_, *mailbox_, options_.timing, [this](const ViewerStream& viewer) {
      Log("GET", viewer.Target(), 200, viewer.BytesSent(), SteadyClock::now() - viewer.Opened());
    });
  }
  return *hub;
}

CameraHub* WebServer::Admit(evhttp_request* request, const Route& route, const std::string& target,
                            SteadyClock::time_point started) {
  if (auto refusal = Unavailable(route.camera)) {
    AnswerRefusal(request, target, *refusal, started);
    return nullptr;
  }
  CameraHub& hub = Hub(route.camera);
  if (auto conflict = hub.SizeConflict(route.size)) {
    AnswerRefusal(request, target, Refusal{409, *conflict, {}}, started);
    return nullptr;
  }
  return &hub;
}

void WebServer::ServeStream(evhttp_request* request, const Route& route, const std::string& target) {
  CameraHub* hub = Admit(request, route, target, SteadyClock::now());
  if (hub == nullptr) return;
  ++requestsByStatus_[200];
  hub->AddViewer(request, target, route.size, route.fps, options_.writeTimeout);
}

void WebServer::ServeSnapshot(evhttp_request* request, const Route& route, const std::string& target) {
  const auto started = SteadyClock::now();
  CameraHub* hub = Admit(request, route, target, started);
  if (hub == nullptr) return;
  const int camera = route.camera;
  hub->TakeSnapshot(route.size, options_.snapshotTimeout,
                    [this, request, target, started, camera](std::shared_ptr<const Frame> frame) {
                      if (!frame) {
                        return AnswerRefusal(
                            request, target,
                            Refusal{503, "camera " + std::to_string(camera) + " gave no picture in time", {}}, started);
                      }
                      evkeyvalq* headers = evhttp_request_get_output_headers(request);
                      evhttp_add_header(headers, "Content-Type", "image/jpeg");
                      evhttp_add_header(headers, "Cache-Control", "no-store");
                      evhttp_add_header(headers, "Content-Disposition",
                                        ("inline; filename=\"camera" + std::to_string(camera) + ".jpg\"").c_str());
                      evbuffer* body = evbuffer_new();
                      evbuffer_add(body, frame->jpeg.data(), frame->jpeg.size());
                      ++requestsByStatus_[200];
                      Log("GET", target, 200, frame->jpeg.size(), SteadyClock::now() - started);
                      evhttp_send_reply(request, 200, "OK", body);
                      evbuffer_free(body);
                    });
}

void WebServer::ServeChange(evhttp_request* request, const Route& route, const std::string& target) {
  const auto started = SteadyClock::now();
  const auto parsed = ParseSettingsChange(Body(request));
  if (const auto* reason = std::get_if<std::string>(&parsed)) {
    return AnswerRefusal(request, target, Refusal{400, *reason, {}}, started);
  }
  if (auto refusal = Unavailable(route.camera)) return AnswerRefusal(request, target, *refusal, started);
  const int camera = route.camera;
  Hub(camera).Change(std::get<SettingsChange>(parsed), [this, request, target, started, camera](ChangeOutcome outcome) {
    if (outcome.status != 200) {
      return AnswerRefusal(request, target, Refusal{outcome.status, outcome.reason, {}}, started);
    }
    const std::string json = "{\"index\":" + std::to_string(camera) + "," + SettingsJsonMembers(outcome.settings) + "}";
    Answer(request, target, 200, "application/json", json, started);
  });
}

std::string WebServer::CameraListJson() {
  const int present = CountCameras();
  std::string json = "{\"cameras\":[";
  bool first = true;
  for (int camera = 0; camera < kCameraSlots; ++camera) {
    if (camera >= present && !hubs_[camera]) continue;
    const CameraHub& hub = Hub(camera);
    const CameraStatus status = hub.Status();
    if (status.state == CameraState::kAbsent) continue;
    char fps[64];
    std::snprintf(fps, sizeof(fps), "\"fps\":%.1f,\"captured_fps\":%.1f", hub.DeliveredFps(), status.capturedFps);
    json += std::string(first ? "" : ",") + "{\"index\":" + std::to_string(camera) + ",\"state\":\"" +
            CameraStateName(status.state) + "\",\"driver_version\":" + nlohmann::json(status.driverVersion).dump() +
            "," + SettingsJsonMembers(status.settings) + "," + fps + ",\"viewers\":" + std::to_string(hub.Viewers()) +
            "}";
    first = false;
  }
  return json + "]}";
}

std::string WebServer::MetricsText() {
  MetricsSnapshot metrics;
  for (const auto& hub : hubs_) {
    if (hub) metrics.cameras.push_back(hub->Counters());
  }
  metrics.requestsByStatus = requestsByStatus_;
  return RenderPrometheus(metrics);
}

void WebServer::Answer(evhttp_request* request, const std::string& target, int status, const std::string& contentType,
                       const std::string& body, SteadyClock::time_point started) {
  evkeyvalq* headers = evhttp_request_get_output_headers(request);
  evhttp_add_header(headers, "Content-Type", contentType.c_str());
  evhttp_add_header(headers, "Cache-Control", "no-store");
  evbuffer* buffer = evbuffer_new();
  evbuffer_add(buffer, body.data(), body.size());
  ++requestsByStatus_[status];
  Log(MethodName(evhttp_request_get_command(request)), target, status, body.size(), SteadyClock::now() - started);
  evhttp_send_reply(request, status, StatusText(status), buffer);
  evbuffer_free(buffer);
}

void WebServer::AnswerRefusal(evhttp_request* request, const std::string& target, const Refusal& refusal,
                              SteadyClock::time_point started) {
  if (!refusal.allow.empty()) {
    evhttp_add_header(evhttp_request_get_output_headers(request), "Allow", refusal.allow.c_str());
  }
  Answer(request, target, refusal.status, "text/plain; charset=utf-8", refusal.reason + "\n", started);
}

void WebServer::Log(const std::string& method, const std::string& target, int status, uint64_t bytes,
                    SteadyClock::duration taken) {
  std::printf("%s\n", RequestLogLine(method, target, status, bytes, taken).c_str());
  std::fflush(stdout);
}
