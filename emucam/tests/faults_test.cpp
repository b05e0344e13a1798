// Faults on demand: each one does what it says, and the camera works again once it is
// lifted.
#include <gtest/gtest.h>

#include "camera_test_support.h"

namespace emucam {
namespace {

using testing::CaptureFrames;
using testing::Control;
using testing::DecodeJpeg;
using testing::MakeCamera;
using testing::ReadRegister;
using testing::RebuildJpeg;
using testing::TrailingBytes;
using testing::WriteRegister;

std::shared_ptr<EmulatedCamera> StreamingCamera(const std::string& options = "") {
  auto camera = MakeCamera("timing=fast,fps=max" + options);
  WriteRegister(*camera, 0x002, 0x10);
  camera->SelectAlternateSetting(0, 7);
  return camera;
}

TEST(Faults, StoppedCameraNeverCompletesRequestsUntilItAnswersAgain) {
  auto camera = MakeCamera("");
  camera->SetAnswering(false);
  std::vector<uint8_t> byte(1);
  EXPECT_FALSE(Control(*camera, {0xC0, kRegisterRead, 1, 0x010, 1}, byte).completed);
  EXPECT_FALSE(Control(*camera, {0x40, kRegisterWrite, 5, 0x010, 0}, byte).completed);
  EXPECT_FALSE(camera->SelectAlternateSetting(0, 7));
  const auto log = camera->RequestLog();
  ASSERT_EQ(log.size(), 3u);
  for (const auto& entry : log) EXPECT_EQ(entry.outcome, RequestOutcome::Ignored);

  camera->SetAnswering(true);
  EXPECT_EQ(ReadRegister(*camera, 0x010), 0x00);  // the ignored write had no effect
}

TEST(Faults, StallOnceHitsOnlyTheNextRequestToThatRegister) {
  auto camera = MakeCamera("");
  camera->StallRegister(0x091, StallMode::Once);
  EXPECT_TRUE(WriteRegister(*camera, 0x092, 1));
  EXPECT_FALSE(ReadRegister(*camera, 0x091));
  EXPECT_TRUE(ReadRegister(*camera, 0x091));
  EXPECT_EQ(camera->RequestLog()[1].outcome, RequestOutcome::Stalled);
}

TEST(Faults, StallAlwaysRefusesEveryRequestToTheRegisterUntilCleared) {
  auto camera = MakeCamera("");
  camera->StallRegister(0x180, StallMode::Always);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(WriteRegister(*camera, 0x180, 0x42));
    EXPECT_FALSE(ReadRegister(*camera, 0x180));
  }
  camera->ClearStalls();
  EXPECT_EQ(ReadRegister(*camera, 0x180), 0x00);  // the stalled writes never landed
}

TEST(Faults, UnpluggedCameraFailsEverything) {
  auto camera = StreamingCamera();
  camera->Disconnect();
  std::vector<uint8_t> byte(1);
  const auto outcome = Control(*camera, {0xC0, kRegisterRead, 1, 0x010, 1}, byte);
  EXPECT_TRUE(outcome.completed);
  EXPECT_EQ(outcome.usbError, USB_DEVICE_NOT_RESPONDING_ERROR);
  EXPECT_FALSE(camera->SelectAlternateSetting(0, 7));
  std::array<DWORD, 1> requested{1023}, actual{};
  std::vector<uint8_t> buffer(1023);
  EXPECT_FALSE(camera->IsochIn(0x81, requested, buffer.data(), actual));
  EXPECT_EQ(camera->RequestLog().back().outcome, RequestOutcome::Disconnected);
}

TEST(Faults, OversizeFramesOutgrowASlot) {
  auto camera = StreamingCamera();
  camera->SetFrameFault(FrameFault::Oversize);
  for (const auto& frame : CaptureFrames(*camera, 3)) {
    EXPECT_GT(frame.size(), 40960u);
    EXPECT_TRUE(TrailingBytes(frame));
  }
}

TEST(Faults, FramesWithoutEndOfImage) {
  auto camera = StreamingCamera();
  camera->SetFrameFault(FrameFault::NoEndOfImage);
  for (const auto& frame : CaptureFrames(*camera, 3)) EXPECT_FALSE(TrailingBytes(frame));
  camera->SetFrameFault(FrameFault::None);
  const auto frames = CaptureFrames(*camera, 3);
  EXPECT_TRUE(TrailingBytes(frames.back()));
}

TEST(Faults, ExcessTrailingBytes) {
  auto camera = StreamingCamera();
  camera->SetFrameFault(FrameFault::ExcessTrailing);
  for (const auto& frame : CaptureFrames(*camera, 5)) {
    const auto extra = TrailingBytes(frame);
    ASSERT_TRUE(extra);
    EXPECT_GT(*extra, 14u);
  }
}

TEST(Faults, CorruptScanDamagesThePictureButKeepsTheFraming) {
  auto clean = StreamingCamera();
  auto corrupt = StreamingCamera();
  corrupt->SetFrameFault(FrameFault::CorruptScan);
  const auto good = CaptureFrames(*clean, 2);
  const auto bad = CaptureFrames(*corrupt, 2);
  ASSERT_EQ(bad.size(), 2u);
  for (size_t n = 0; n < bad.size(); ++n) {
    EXPECT_EQ(bad[n].size(), good[n].size());
    EXPECT_NE(bad[n], good[n]);
    EXPECT_TRUE(TrailingBytes(bad[n]));
    for (size_t i = 2; i + 1 < bad[n].size(); ++i) {
      ASSERT_FALSE(bad[n][i] == 0xFF && bad[n][i + 1] == 0xD8) << "a second start marker at " << i;
    }
  }
}

TEST(Faults, ThrowingTransfersThenNormalOnes) {
  auto camera = StreamingCamera();
  std::array<DWORD, 4> requested{1023, 1023, 1023, 1023}, actual{};
  std::vector<uint8_t> buffer(4 * 1023);
  camera->ThrowInIsochTransfers(2);
  EXPECT_THROW(camera->IsochIn(0x81, requested, buffer.data(), actual), IsochTransferFault);
  EXPECT_THROW(camera->IsochIn(0x81, requested, buffer.data(), actual), IsochTransferFault);
  EXPECT_TRUE(camera->IsochIn(0x81, requested, buffer.data(), actual));

  camera->ThrowInIsochTransfers(-1);
  for (int i = 0; i < 5; ++i) EXPECT_THROW(camera->IsochIn(0x81, requested, buffer.data(), actual), IsochTransferFault);
  camera->ThrowInIsochTransfers(0);
  EXPECT_TRUE(camera->IsochIn(0x81, requested, buffer.data(), actual));
}

TEST(Faults, ThrowOptionMakesEveryTransferThrowUntilCleared) {
  auto camera = StreamingCamera(",fault=throw");
  std::array<DWORD, 4> requested{1023, 1023, 1023, 1023}, actual{};
  std::vector<uint8_t> buffer(4 * 1023);
  for (int i = 0; i < 3; ++i) EXPECT_THROW(camera->IsochIn(0x81, requested, buffer.data(), actual), IsochTransferFault);
  camera->ThrowInIsochTransfers(0);
  EXPECT_TRUE(camera->IsochIn(0x81, requested, buffer.data(), actual));
  std::string error;
  EXPECT_FALSE(ParseCameraOptions("fault=throw,fault=none", error)->transfersThrow);
}

}  // namespace
}  // namespace emucam
