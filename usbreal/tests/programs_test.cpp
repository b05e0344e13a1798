// The programs on a camera reached through libusb: the server started with
// VELMAR_DEVICES=usb streams it, and camrec records that stream, each a process of its
// own whose libusb talks to the mock bus of this test program.

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/child_process.h"
#include "testing/jpeg_check.h"
#include "usb_test_support.h"

namespace usbtest {
namespace {

using std::chrono::seconds;

TEST(UsbPrograms, TheServerStreamsACameraFoundThroughLibusbAndCamrecRecordsIt) {
  UsbCamera camera("sensor=2,timing=realtime,fps=25", KernelDriver("kernelcam"));
  const std::string port = std::to_string(FindFreePort());
  ChildProcess server(VELMAR_SERVER_PATH, {"--port", port, "--bind", "127.0.0.1"}, {"VELMAR_DEVICES=usb"});
  ASSERT_TRUE(server.WaitForOutput("with API versions", seconds(20))) << server.Output();

  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("usbreal-camrec-" + port);
  std::filesystem::remove_all(folder);
  ChildProcess recorder(VELMAR_CAMREC_PATH, {"--port", port, "--frames", "5", "--jpeg-dir", folder.string(), "-q"});
  EXPECT_EQ(recorder.WaitForExit(seconds(30)), 0) << recorder.Output() << server.Output();
  size_t decoded = 0;
  for (const auto& file : std::filesystem::directory_iterator(folder)) {
    const auto image = DecodeJpeg(ReadFileBytes(file.path().string()));
    ASSERT_TRUE(image) << file.path();
    EXPECT_EQ(image->width, 320);
    ++decoded;
  }
  EXPECT_EQ(decoded, 5u);
  std::filesystem::remove_all(folder);

  server.SendInput("q");
  EXPECT_EQ(server.WaitForExit(seconds(10)), 0) << server.Output();
  // At its exit the server let the camera go and its kernel driver had it back.
  EXPECT_EQ(camera.Mock().Counts().kernelDriverReattaches, 1);
}

}  // namespace
}  // namespace usbtest
