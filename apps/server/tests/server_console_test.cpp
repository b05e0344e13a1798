// The server's console: start lines, commands, signals, and the end of its input.
#include <gtest/gtest.h>
#include <signal.h>

#include "server_process.h"
#include "test_client.h"

namespace {

constexpr milliseconds kStartTime{20000};
constexpr milliseconds kExitTime{10000};
constexpr char kBanner[] =
    "=========================================\r\n"
    "USB Camera TCP Server v1.1\r\n"
    "To get help, please type 'h'\r\n";

// A server that has printed its start lines and its socket layer.
struct RunningServer {
  RunningServer() : port(FindFreePort()), server(port) {}
  bool Ready() { return server.WaitForOutput("with API versions", kStartTime); }
  uint16_t port;
  ServerProcess server;
};

}  // namespace

TEST(ServerConsole, PrintsTheStartLinesAndTheSocketLayer) {
  RunningServer running;
  ASSERT_TRUE(running.Ready()) << running.server.Output();
  running.server.WaitForOutput("\n\n", milliseconds(2000));
  const std::string output = running.server.Output();
  EXPECT_EQ(output.rfind(kBanner, 0), 0u) << output;
  EXPECT_NE(output.find("Using POSIX sockets"), std::string::npos) << output;
  EXPECT_NE(output.find(" (Status: Running)\nwith API versions 2.2 to 2.2\n\n"), std::string::npos) << output;
}

TEST(ServerConsole, HelpCommandPrintsOnlyTheCommandList) {
  RunningServer running;
  ASSERT_TRUE(running.Ready());
  running.server.WaitForOutput("\n\n", milliseconds(2000));
  const size_t before = running.server.Output().size();
  running.server.SendInput("h\n");
  ASSERT_TRUE(running.server.WaitForOutput("Command list:", milliseconds(5000)));
  // Anything else the command printed would arrive with the list or right after it.
  running.server.WaitForOutput("never printed", milliseconds(300));
  EXPECT_EQ(running.server.Output().substr(before), "Command list:q\tquit\r\n");
}

TEST(ServerConsole, OtherCharactersAreIgnored) {
  RunningServer running;
  ASSERT_TRUE(running.Ready());
  running.server.SendInput("xyz?Q\n");
  EXPECT_FALSE(running.server.WaitForExit(milliseconds(500)).has_value());
  running.server.SendInput("h");
  EXPECT_TRUE(running.server.WaitForOutput("Command list:q\tquit\r\n", milliseconds(5000)));
}

TEST(ServerConsole, QuitCommandEndsTheProgram) {
  RunningServer running;
  ASSERT_TRUE(running.Ready());
  running.server.SendInput("q\n");
  EXPECT_EQ(running.server.WaitForExit(kExitTime), 0) << running.server.Output();
}

TEST(ServerConsole, InterruptAndTerminateEndItLikeQuit) {
  for (const int signalNumber : {SIGINT, SIGTERM}) {
    RunningServer running;
    ASSERT_TRUE(running.Ready());
    running.server.SendSignal(signalNumber);
    EXPECT_EQ(running.server.WaitForExit(kExitTime), 0) << "signal " << signalNumber << "\n" << running.server.Output();
  }
}

TEST(ServerConsole, EndOfInputKeepsTheServerServing) {
  RunningServer running;
  ASSERT_TRUE(running.Ready());
  running.server.CloseInput();
  EXPECT_FALSE(running.server.WaitForExit(milliseconds(500)).has_value());

  TestClient client(running.port);
  ASSERT_TRUE(client.Connected());
  ASSERT_TRUE(client.SendStart(StreamRequest(1, 10, 8)));
  EXPECT_EQ(client.ReadReply(milliseconds(10000)), stream_protocol::kStatusRefused);
  EXPECT_TRUE(running.server.WaitForOutput("No camera\r\n", milliseconds(5000)));

  running.server.SendSignal(SIGTERM);
  EXPECT_EQ(running.server.WaitForExit(kExitTime), 0) << running.server.Output();
}

TEST(ServerConsole, HelpOptionAndBadOptions) {
  ServerProcess help(std::vector<std::string>{"--help"});
  EXPECT_EQ(help.WaitForExit(kExitTime), 0);
  EXPECT_NE(help.Output().find("Usage: server"), std::string::npos);

  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"--port", "0"}, {"--port", "70000"}, {"--bind", "localhost"}, {"--port"}, {"--frobnicate"}}) {
    ServerProcess refused(arguments);
    EXPECT_EQ(refused.WaitForExit(kExitTime), 2) << arguments[0];
    EXPECT_NE(refused.Output().find("server: "), std::string::npos) << refused.Output();
  }
}

// Without a terminal nobody reads the message or types q: the server ends at once.
TEST(ServerConsole, PortInUseIsReportedAndEndsAServerWithoutATerminal) {
  RunningServer first;
  ASSERT_TRUE(first.Ready());
  ServerProcess second(first.port);
  EXPECT_EQ(second.WaitForExit(kStartTime), 1) << second.Output();
  EXPECT_NE(second.Output().find("Bind socket failed: 98\r\n"), std::string::npos) << second.Output();
}

// On a terminal the console goes on, but the failure still shows in the exit status.
TEST(ServerConsole, PortInUseOnATerminalKeepsTheConsoleAndExitsNonZero) {
  RunningServer first;
  ASSERT_TRUE(first.Ready());
  // script(1) runs the server on a terminal of its own and ends with its status.
  ChildProcess second(
      "/usr/bin/script",
      {"-q", "-e", "-c", std::string(VELMAR_SERVER_PATH) + " --bind 127.0.0.1 --port " + std::to_string(first.port),
       "/dev/null"});
  ASSERT_TRUE(second.WaitForOutput("Bind socket failed: 98", kStartTime)) << second.Output();
  EXPECT_FALSE(second.WaitForExit(milliseconds(500)).has_value()) << second.Output();
  // The terminal hands over whole lines.
  second.SendInput("h\n");
  EXPECT_TRUE(second.WaitForOutput("Command list:q", kExitTime)) << second.Output();
  second.SendInput("q\n");
  EXPECT_EQ(second.WaitForExit(kExitTime), 1) << second.Output();
}
