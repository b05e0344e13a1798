#include "testing/child_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

uint16_t FindFreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           std::vector<std::string> environment) {
  // A command written after the program has gone must fail, not kill the test.
  signal(SIGPIPE, SIG_IGN);
  int inputPipe[2];
  int outputPipe[2];
  if (pipe2(inputPipe, O_CLOEXEC) != 0) return;
  if (pipe2(outputPipe, O_CLOEXEC) != 0) {
    close(inputPipe[0]);
    close(inputPipe[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inputPipe[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, outputPipe[1], STDERR_FILENO);

  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  // Ours, with the given variables replacing any of the same name.
  std::vector<char*> variables;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string_view name = std::string_view(*variable).substr(0, std::string_view(*variable).find('='));
    const bool replaced = std::any_of(environment.begin(), environment.end(), [&](const std::string& given) {
      return given.size() > name.size() && given.compare(0, name.size(), name) == 0 && given[name.size()] == '=';
    });
    if (!replaced) variables.push_back(*variable);
  }
  for (std::string& variable : environment) variables.push_back(variable.data());
  variables.push_back(nullptr);

  if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), variables.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(inputPipe[0]);
  close(outputPipe[1]);
  input_ = inputPipe[1];
  output_ = outputPipe[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !exitStatus_) {
    kill(pid_, SIGKILL);
    WaitForExit(milliseconds(10000));
  }
  if (input_ >= 0) close(input_);
  if (output_ >= 0) close(output_);
}

void ChildProcess::CollectOutput(int timeoutMs) {
  if (output_ < 0) return;
  pollfd readable{output_, POLLIN, 0};
  if (poll(&readable, 1, timeoutMs) <= 0) return;
  char buffer[4096];
  const ssize_t got = read(output_, buffer, sizeof(buffer));
  if (got > 0) {
    collected_.append(buffer, static_cast<size_t>(got));
  } else if (got == 0) {
    close(output_);
    output_ = -1;
  }
}

size_t ChildProcess::CountInOutput(std::string_view text) {
  CollectOutput(0);
  size_t count = 0;
  for (size_t at = collected_.find(text); at != std::string::npos; at = collected_.find(text, at + text.size())) {
    ++count;
  }
  return count;
}

bool ChildProcess::WaitForOutput(std::string_view text, milliseconds timeout, size_t occurrences) {
  const auto deadline = Clock::now() + timeout;
  while (CountInOutput(text) < occurrences) {
    if (Clock::now() >= deadline) return false;
    if (output_ < 0) {  // the server has gone; nothing more will come
      return false;
    }
    CollectOutput(std::min(RemainingMs(deadline), 50));
  }
  return true;
}

std::string ChildProcess::Output() {
  CollectOutput(0);
  return collected_;
}

void ChildProcess::SendInput(std::string_view text) {
  if (input_ >= 0) {
    [[maybe_unused]] const ssize_t written = write(input_, text.data(), text.size());
  }
}

void ChildProcess::CloseInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

void ChildProcess::SendSignal(int signalNumber) {
  if (pid_ > 0 && !exitStatus_) kill(pid_, signalNumber);
}

std::optional<int> ChildProcess::WaitForExit(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (pid_ > 0 && !exitStatus_) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
      break;
    }
    if (Clock::now() >= deadline) break;
    if (output_ >= 0) {
      CollectOutput(20);  // keep the pipe drained so the server never blocks on it
    } else {
      std::this_thread::sleep_for(milliseconds(20));
    }
  }
  CollectOutput(0);
  return exitStatus_;
}
