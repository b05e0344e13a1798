// camsnap as a script runs it, against emulated cameras: the pictures, their names,
// standard output, the timing of a series, and every failure with its line and status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>

#include "testing/child_process.h"
#include "testing/jpeg_check.h"

namespace {

namespace fs = std::filesystem;
constexpr milliseconds kRunTime{30000};

class Camsnap : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("camsnap-test-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // camsnap in the test's folder, with `devices` as its cameras.
  std::unique_ptr<ChildProcess> Run(const std::vector<std::string>& arguments, const std::string& devices = "emu") {
    std::string command = "cd " + folder_.string() + " && exec " + VELMAR_CAMSNAP_PATH;
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    return std::make_unique<ChildProcess>("/bin/sh", std::vector<std::string>{"-c", command},
                                          std::vector<std::string>{"VELMAR_DEVICES=" + devices});
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_;
};

struct Size {
  const char* option;
  int width, height;
};

class CamsnapAtSize : public Camsnap, public ::testing::WithParamInterface<Size> {};

TEST_P(CamsnapAtSize, SavesTheCamerasJpegUnderTheDefaultNameAndSaysSo) {
  auto snap = Run({"-r", GetParam().option, "--skip", "2"});
  ASSERT_EQ(snap->WaitForExit(kRunTime), 0) << snap->Output();
  const std::vector<std::string> files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(std::regex_match(files[0], std::regex("snapshot-20[0-9]{6}-[0-9]{6}\\.jpg"))) << files[0];
  EXPECT_NE(snap->Output().find("saved " + files[0] + " ("), std::string::npos) << snap->Output();
  const auto picture = DecodeJpeg(ReadFileBytes((folder_ / files[0]).string()));
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, GetParam().width);
  EXPECT_EQ(picture->height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CamsnapAtSize, ::testing::Values(Size{"320x240", 320, 240}, Size{"640x480", 640, 480}),
                         [](const ::testing::TestParamInfo<Size>& size) { return std::string(size.param.option); });

TEST_F(Camsnap, SeriesIsNumberedAndPacedByTheInterval) {
  const auto start = std::chrono::steady_clock::now();
  auto snap = Run({"--count", "4", "--interval", "0.5", "--delay", "0.3", "-o", "lapse-%n.jpg"});
  ASSERT_EQ(snap->WaitForExit(kRunTime), 0) << snap->Output();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(Files(), (std::vector<std::string>{"lapse-1.jpg", "lapse-2.jpg", "lapse-3.jpg", "lapse-4.jpg"}));
  EXPECT_GE(seconds, 0.3 + 3 * 0.5);
  EXPECT_LT(seconds, 0.3 + 3 * 0.5 + 8.0) << "loose: the boot and the first frame come first";
  for (const std::string& file : Files()) EXPECT_TRUE(DecodeJpeg(ReadFileBytes((folder_ / file).string()))) << file;
}

TEST_F(Camsnap, StandardOutputGetsOneJpegAndNothingElse) {
  ChildProcess toFile("/bin/sh", {"-c", "cd " + folder_.string() + " && " + VELMAR_CAMSNAP_PATH + " -o - > out.jpg"},
                      {"VELMAR_DEVICES=emu"});
  ASSERT_EQ(toFile.WaitForExit(kRunTime), 0) << toFile.Output();
  EXPECT_NE(toFile.Output().find("saved standard output"), std::string::npos) << "the message goes to stderr";
  EXPECT_EQ(Files(), std::vector<std::string>{"out.jpg"});
  const auto picture = DecodeJpeg(ReadFileBytes((folder_ / "out.jpg").string()));
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, 320);
}

TEST_F(Camsnap, ListsTheCamerasFound) {
  auto snap = Run({"--list"}, "emu;emu");
  ASSERT_EQ(snap->WaitForExit(kRunTime), 0) << snap->Output();
  EXPECT_NE(snap->Output().find("0  VLM1:  VELMAR"), std::string::npos) << snap->Output();
  EXPECT_NE(snap->Output().find("1  VLM2:  VELMAR"), std::string::npos) << snap->Output();
}

struct Failure {
  const char* name;
  std::vector<std::string> arguments;
  const char* devices;
  const char* line;
};

void PrintTo(const Failure& f, std::ostream* out) { *out << f.name; }

class CamsnapFailure : public Camsnap, public ::testing::WithParamInterface<Failure> {};

TEST_P(CamsnapFailure, SaysWhyInOneLineAndExitsOne) {
  std::ofstream(folder_ / "taken.jpg") << "an earlier picture";
  auto snap = Run(GetParam().arguments, GetParam().devices);
  EXPECT_EQ(snap->WaitForExit(kRunTime), 1) << snap->Output();
  EXPECT_EQ(snap->CountInOutput(std::string("camsnap: ") + GetParam().line), 1u) << snap->Output();
  EXPECT_EQ(snap->CountInOutput("camsnap: "), 1u) << "one line: " << snap->Output();
  EXPECT_EQ(ReadFileBytes((folder_ / "taken.jpg").string()).size(), 18u) << "never replaced";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CamsnapFailure,
    ::testing::Values(Failure{"NoCamera", {}, "", "no camera"},
                      Failure{"CameraNotThere", {"-d", "3"}, "emu", "camera 3 cannot be opened"},
                      Failure{"RefusedSetting", {"--light-mode", "1"}, "emu", "camera 0 cannot start streaming"},
                      Failure{"ExistingFile", {"-o", "taken.jpg"}, "emu", "taken.jpg exists (-y"},
                      Failure{
                          "UnwritablePath", {"-o", "/nonexistent/x.jpg"}, "emu", "cannot create /nonexistent/x.jpg"},
                      Failure{"NoFrameInTime", {}, "emu:fault=noeoi", "no frame from camera 0 within 5 s"},
                      Failure{"CameraGone",
                              {"--count", "100", "--interval", "0.2", "-o", "g-%n.jpg"},
                              "emu:unplug=1",
                              "camera 0 is gone"}),
    [](const ::testing::TestParamInfo<Failure>& f) { return std::string(f.param.name); });

TEST_F(Camsnap, OverwriteReplacesAndSignalEndsIt) {
  std::ofstream(folder_ / "taken.jpg") << "an earlier picture";
  auto snap = Run({"-o", "taken.jpg", "-y"});
  ASSERT_EQ(snap->WaitForExit(kRunTime), 0) << snap->Output();
  EXPECT_TRUE(DecodeJpeg(ReadFileBytes((folder_ / "taken.jpg").string())));

  auto series = Run({"--count", "1000", "--interval", "1", "-o", "s-%n.jpg"});
  ASSERT_TRUE(series->WaitForOutput("saved s-1.jpg", kRunTime)) << series->Output();
  series->SendSignal(SIGTERM);
  EXPECT_EQ(series->WaitForExit(milliseconds(5000)), 1) << series->Output();
  EXPECT_EQ(series->CountInOutput("camsnap: interrupted"), 1u) << series->Output();
}

}  // namespace
