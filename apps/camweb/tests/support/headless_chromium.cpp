#include "headless_chromium.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kCallTimeout = std::chrono::seconds(20);

}  // namespace

std::vector<uint8_t> DecodeBase64(const std::string& text) {
  std::vector<uint8_t> bytes;
  uint32_t group = 0;
  int bits = 0;
  for (const char c : text) {
    int value = -1;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    if (c >= '0' && c <= '9') value = c - '0' + 52;
    if (c == '+') value = 62;
    if (c == '/') value = 63;
    if (value < 0) continue;
    group = group << 6 | static_cast<uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<uint8_t>(group >> bits));
    }
  }
  return bytes;
}

HeadlessChromium::HeadlessChromium() {
  char profile[] = "/tmp/camweb-chromium-XXXXXX";
  if (mkdtemp(profile) == nullptr) return;
  profile_ = profile;
  int toChromium[2], fromChromium[2];
  if (pipe2(toChromium, O_CLOEXEC) != 0 || pipe2(fromChromium, O_CLOEXEC) != 0) return;
  const std::vector<std::string> arguments{"chromium",
                                           "--headless",
                                           "--no-sandbox",
                                           "--disable-gpu",
                                           "--disable-background-networking",
                                           "--disable-component-update",
                                           "--disable-sync",
                                           "--no-first-run",
                                           "--disable-dev-shm-usage",
                                           "--window-size=1200,800",
                                           "--user-data-dir=" + profile_,
                                           "--remote-debugging-pipe",
                                           "about:blank"};
  pid_ = fork();
  if (pid_ == 0) {
    // Moved out of the way first: either end may already sit on 3 or 4.
    const int commands = fcntl(toChromium[0], F_DUPFD, 10);
    const int replies = fcntl(fromChromium[1], F_DUPFD, 10);
    dup2(commands, 3);
    dup2(replies, 4);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 1);
    dup2(quiet, 2);
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execvp("chromium", argv.data());
    _exit(127);
  }
  close(toChromium[0]);
  close(fromChromium[1]);
  commands_ = toChromium[1];
  replies_ = fromChromium[0];
}

HeadlessChromium::~HeadlessChromium() {
  if (commands_ >= 0) close(commands_);
  if (replies_ >= 0) close(replies_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (!profile_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(profile_, ignored);
  }
}

std::optional<nlohmann::json> HeadlessChromium::NextMessage(Clock::time_point deadline) {
  while (true) {
    const size_t end = received_.find('\0');
    if (end != std::string::npos) {
      auto message = nlohmann::json::parse(received_.substr(0, end), nullptr, false);
      received_.erase(0, end + 1);
      return message;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd waiting{replies_, POLLIN, 0};
    if (left <= 0 || poll(&waiting, 1, static_cast<int>(left)) <= 0) return std::nullopt;
    char buffer[65536];
    const ssize_t got = read(replies_, buffer, sizeof(buffer));
    if (got <= 0) return std::nullopt;
    received_.append(buffer, static_cast<size_t>(got));
  }
}

nlohmann::json HeadlessChromium::Call(const std::string& method, nlohmann::json params, bool inPage) {
  if (!Started()) return {};
  const int id = nextId_++;
  nlohmann::json command{{"id", id}, {"method", method}, {"params", std::move(params)}};
  if (inPage) command["sessionId"] = session_;
  const std::string text = command.dump() + '\0';
  if (write(commands_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
  const auto deadline = Clock::now() + kCallTimeout;
  while (auto message = NextMessage(deadline)) {
    if (message->is_object() && message->value("id", 0) == id) return *message;
  }
  return {};
}

bool HeadlessChromium::Open(const std::string& url) {
  const auto created = Call("Target.createTarget", {{"url", url}}, false);
  if (!created.contains("result")) return false;
  const auto attached =
      Call("Target.attachToTarget", {{"targetId", created["result"]["targetId"]}, {"flatten", true}}, false);
  if (!attached.contains("result")) return false;
  session_ = attached["result"]["sessionId"];
  return true;
}

std::optional<nlohmann::json> HeadlessChromium::Evaluate(const std::string& expression) {
  const auto reply =
      Call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, true);
  if (!reply.contains("result") || reply["result"].contains("exceptionDetails")) return std::nullopt;
  return reply["result"]["result"].value("value", nlohmann::json());
}

std::vector<uint8_t> HeadlessChromium::Screenshot(double x, double y, double width, double height) {
  const auto reply = Call("Page.captureScreenshot",
                          {{"format", "jpeg"},
                           {"quality", 90},
                           {"clip", {{"x", x}, {"y", y}, {"width", width}, {"height", height}, {"scale", 1}}}},
                          true);
  if (!reply.contains("result")) return {};
  return DecodeBase64(reply["result"].value("data", ""));
}
