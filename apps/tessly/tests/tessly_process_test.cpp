// tessly as a script starts it: a start-up failure is a line on stderr and a non-zero
// exit status, besides the dialog's own behaviour.
#include <gtest/gtest.h>

#include <csignal>

#include "testing/child_process.h"

namespace {

struct Failure {
  const char* name;
  const char* devices;
  const char* camera;
  const char* line;
};

void PrintTo(const Failure& f, std::ostream* out) { *out << f.name; }

class TesslyStartUpFailure : public ::testing::TestWithParam<Failure> {};

TEST_P(TesslyStartUpFailure, SaysWhyOnStderrAndExitsNonZero) {
  const Failure& f = GetParam();
  ChildProcess tessly(VELMAR_TESSLY_PATH, {"--camera", f.camera},
                      {std::string("VELMAR_DEVICES=") + f.devices, "QT_QPA_PLATFORM=offscreen"});
  // A message box waits for a press: a signal closes it, as a user would.
  if (!tessly.WaitForExit(milliseconds(3000))) tessly.SendSignal(SIGTERM);
  EXPECT_EQ(tessly.WaitForExit(milliseconds(10000)), 1) << tessly.Output();
  EXPECT_EQ(tessly.CountInOutput(f.line), 1u) << tessly.Output();
}

INSTANTIATE_TEST_SUITE_P(Cases, TesslyStartUpFailure,
                         ::testing::Values(Failure{"CameraCannotBeOpened", "emu", "3",
                                                   "tessly: camera 3 cannot be opened\n"},
                                           Failure{"NoCamera", "", "0", "tessly: no camera\n"}),
                         [](const ::testing::TestParamInfo<Failure>& f) { return std::string(f.param.name); });

}  // namespace
