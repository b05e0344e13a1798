// The vendor transfer layer: issue-and-wait against a scripted USB function table, and
// vendor requests, register tables and the streaming interface on an emulated camera.

#include <gtest/gtest.h>

#include <chrono>

#include "driver_test_support.h"
#include "platform/windows.h"
#include "sensor/aux_bytes.h"
#include "usb/streaming_interface.h"
#include "usb/vendor_transfer.h"

namespace {

using drvtest::PluggedCamera;

// A USB function table whose vendor transfers behave as each test sets.
struct ScriptedUsb {
  enum class Answer { Complete, Never, Refuse };
  static inline Answer answer = Answer::Complete;
  static inline DWORD usbError = USB_NO_ERROR;
  static inline DWORD bytes = 0;
  static inline bool statusFails = false;
  static inline int closed = 0;
  static inline int statusReads = 0;

  static USB_TRANSFER Issue(USB_HANDLE, LPTRANSFER_NOTIFY_ROUTINE routine, LPVOID context, DWORD,
                            const USB_DEVICE_REQUEST*, LPVOID, ULONG) {
    if (answer == Answer::Refuse) {
      SetLastError(ERROR_DEVICE_NOT_CONNECTED);
      return nullptr;
    }
    if (answer == Answer::Complete && routine != nullptr) routine(context);
    return reinterpret_cast<USB_TRANSFER>(0x1234);
  }
  static BOOL Status(USB_TRANSFER, LPDWORD transferred, LPDWORD error) {
    ++statusReads;
    if (statusFails) return FALSE;
    *transferred = bytes;
    *error = usbError;
    return TRUE;
  }
  static BOOL Close(USB_TRANSFER) {
    ++closed;
    return TRUE;
  }
  static USB_FUNCS Table() {
    USB_FUNCS funcs{};
    funcs.dwCount = sizeof funcs;
    funcs.IssueVendorTransfer = &Issue;
    funcs.GetTransferStatus = &Status;
    funcs.CloseTransfer = &Close;
    return funcs;
  }
  static void Reset() {
    answer = Answer::Complete;
    usbError = USB_NO_ERROR;
    bytes = 0;
    statusFails = false;
    closed = 0;
    statusReads = 0;
  }
};

class IssueAndWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ScriptedUsb::Reset();
    event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event_, nullptr);
  }
  void TearDown() override { CloseHandle(event_); }

  DWORD Issue(DWORD timeoutMs) {
    return IssueVendorTransferAndWait(&funcs_, device_, TransferCompleteNotify, event_, kVendorReadFlags, &setup_,
                                      &byte_, 0, &bytes_, timeoutMs, &usbError_);
  }

  USB_FUNCS funcs_ = ScriptedUsb::Table();
  USB_HANDLE device_ = reinterpret_cast<USB_HANDLE>(0x42);
  USB_DEVICE_REQUEST setup_{kVendorReadRequestType, 0xA1, 1, 0x091, 1};
  HANDLE event_ = nullptr;
  BYTE byte_ = 0;
  DWORD bytes_ = 99;
  DWORD usbError_ = 99;
};

TEST_F(IssueAndWaitTest, MissingArgumentsAreInvalidParameters) {
  DWORD bytes = 0;
  DWORD error = 0;
  const auto check = [](DWORD result) {
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  };
  check(IssueVendorTransferAndWait(nullptr, device_, nullptr, nullptr, 0, &setup_, nullptr, 0, &bytes, 0, &error));
  check(IssueVendorTransferAndWait(&funcs_, nullptr, nullptr, nullptr, 0, &setup_, nullptr, 0, &bytes, 0, &error));
  check(IssueVendorTransferAndWait(&funcs_, device_, nullptr, nullptr, 0, nullptr, nullptr, 0, &bytes, 0, &error));
  check(IssueVendorTransferAndWait(&funcs_, device_, nullptr, nullptr, 0, &setup_, nullptr, 0, nullptr, 0, &error));
  check(IssueVendorTransferAndWait(&funcs_, device_, nullptr, nullptr, 0, &setup_, nullptr, 0, &bytes, 0, nullptr));
  EXPECT_EQ(ScriptedUsb::closed, 0);
}

TEST_F(IssueAndWaitTest, CompletedTransferReportsItsStatusAndIsClosed) {
  ScriptedUsb::bytes = 1;
  EXPECT_EQ(Issue(250), 0u);
  EXPECT_EQ(bytes_, 1u);
  EXPECT_EQ(usbError_, 0u);
  EXPECT_EQ(ScriptedUsb::closed, 1);
}

TEST_F(IssueAndWaitTest, RefusedTransferGivesThePlatformError) {
  ScriptedUsb::answer = ScriptedUsb::Answer::Refuse;
  EXPECT_EQ(Issue(250), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(bytes_, 0u);
  EXPECT_EQ(usbError_, 0u);
  EXPECT_EQ(ScriptedUsb::closed, 0);
}

TEST_F(IssueAndWaitTest, UnansweredTransferTimesOutStillReadsItsStatusAndIsClosed) {
  ScriptedUsb::answer = ScriptedUsb::Answer::Never;
  ScriptedUsb::usbError = USB_NOT_COMPLETE_ERROR;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Issue(50), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_EQ(usbError_, USB_NOT_COMPLETE_ERROR);
  EXPECT_EQ(ScriptedUsb::statusReads, 1);
  EXPECT_EQ(ScriptedUsb::closed, 1);
}

TEST_F(IssueAndWaitTest, UsbErrorBecomesGeneralFailure) {
  ScriptedUsb::usbError = USB_STALL_ERROR;
  EXPECT_EQ(Issue(250), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(usbError_, USB_STALL_ERROR);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(ScriptedUsb::closed, 1);
}

TEST_F(IssueAndWaitTest, UnreadableStatusCountsAsAUsbError) {
  ScriptedUsb::statusFails = true;
  EXPECT_EQ(Issue(250), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(usbError_, 0x101u);
  EXPECT_EQ(ScriptedUsb::closed, 1);
}

TEST_F(IssueAndWaitTest, WithoutEventTheStatusIsReadAtOnce) {
  ScriptedUsb::answer = ScriptedUsb::Answer::Never;
  EXPECT_EQ(
      IssueVendorTransferAndWait(&funcs_, device_, nullptr, nullptr, 0, &setup_, &byte_, 0, &bytes_, 250, &usbError_),
      0u);
  EXPECT_EQ(ScriptedUsb::statusReads, 1);
  EXPECT_EQ(ScriptedUsb::closed, 1);
}

TEST(TransferCompleteNotifyTest, SignalsItsEvent) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(TransferCompleteNotify(event), 0u);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  CloseHandle(event);
  // A closed event cannot be signalled: its error comes back.
  EXPECT_NE(TransferCompleteNotify(event), 0u);
  EXPECT_EQ(TransferCompleteNotify(nullptr), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

class VendorRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drvtest::ClearPortNames();
    camera_ = std::make_unique<PluggedCamera>(options_);
    device_ = camera_->Device();
    ASSERT_NE(device_, nullptr);
    camera_->ClearLog();
  }
  // What the capture thread does when it stops.
  void CloseStreaming() {
    device_->usbFuncs->ClosePipe(device_->streamingPipe);
    device_->streamingPipe = nullptr;
    CloseHandle(device_->streamingEvent);
    device_->streamingEvent = nullptr;
  }

  std::string options_ = "sensor=2,timing=fast";
  std::unique_ptr<PluggedCamera> camera_;
  VlmDevice* device_ = nullptr;
};

TEST_F(VendorRequestTest, SetupPacketsCarryTheirArgumentsLittleEndian) {
  BYTE byte = 0;
  EXPECT_TRUE(VendorWrite(device_, 0x1A0, 0x1234, 0x10123, nullptr, 0));
  EXPECT_TRUE(VendorRead(device_, 0xA1, 1, 0x10091, &byte, 1));
  const auto log = camera_->RawLog();
  ASSERT_EQ(log.size(), 2u);
  const USB_DEVICE_REQUEST& write = log[0].setup;
  EXPECT_EQ(write.bmRequestType, 0x40);
  EXPECT_EQ(write.bRequest, 0xA0);
  EXPECT_EQ(write.wValue, 0x1234);
  EXPECT_EQ(write.wIndex, 0x0123);
  EXPECT_EQ(write.wLength, 0);
  const USB_DEVICE_REQUEST& read = log[1].setup;
  EXPECT_EQ(read.bmRequestType, 0xC0);
  EXPECT_EQ(read.bRequest, 0xA1);
  EXPECT_EQ(read.wIndex, 0x0091);
  EXPECT_EQ(read.wLength, 1);
}

TEST_F(VendorRequestTest, RegisterReadFillsOnlyTheLowByte) {
  ASSERT_TRUE(WriteControllerRegister(device_, 0x1AB, 0xCD));
  DWORD value = 0xFFFFFFFF;
  ASSERT_TRUE(ReadControllerRegister(device_, 0x1AB, &value));
  EXPECT_EQ(value, 0xCDu);
}

TEST_F(VendorRequestTest, RecordWithoutSignatureSendsNothing) {
  device_->signature[0] = 'X';
  BYTE byte = 0;
  const RegisterEntry table[] = {{0xA0, 1, 0x100}, {0, 0, 0}};
  EXPECT_FALSE(VendorWrite(device_, 0xA0, 1, 0x100, nullptr, 0));
  EXPECT_FALSE(VendorRead(device_, 0xA1, 1, 0x100, &byte, 1));
  EXPECT_FALSE(RunRegisterTable(device_, table));
  EXPECT_FALSE(OpenStreamingInterface(device_, 7));
  EXPECT_EQ(ReadAuxByte(device_, 1), kAuxReadFailed);
  device_->signature[0] = 'U';
  EXPECT_EQ(camera_->Log(), "");
  EXPECT_FALSE(VendorWrite(nullptr, 0xA0, 1, 0x100, nullptr, 0));
}

TEST_F(VendorRequestTest, EmptyTableSucceedsWithoutTraffic) {
  const RegisterEntry table[] = {{0, 0xA0, 0x100}, {0xA0, 1, 0x100}, {0, 0, 0}};
  EXPECT_TRUE(RunRegisterTable(device_, table));
  EXPECT_EQ(camera_->Log(), "");
}

TEST_F(VendorRequestTest, FailingEntryDoesNotStopTheTable) {
  camera_->Emu().StallRegister(0x123, emucam::StallMode::Once);
  const RegisterEntry table[] = {
      {0xA0, 0x01, 0x120}, {0xA0, 0x02, 0x123}, {0xA1, 1, 0x124}, {0xA5, 7, 0x125}, {0, 0, 0}};
  EXPECT_FALSE(RunRegisterTable(device_, table));
  const auto log = camera_->RawLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1].outcome, emucam::RequestOutcome::Stalled);
  // Any request other than 0xA0 goes out as a one-byte read.
  for (int i : {2, 3}) {
    EXPECT_EQ(log[i].setup.bmRequestType, 0xC0);
    EXPECT_EQ(log[i].setup.wLength, 1);
  }
  EXPECT_EQ(log[3].setup.bRequest, 0xA5);
  EXPECT_EQ(log[3].setup.wValue, 7);
  EXPECT_EQ(camera_->Log(), "120=01 123=02 124? C0:A5:0007:0125:0001");
}

TEST_F(VendorRequestTest, SilentCameraCostsOneTimeOutPerRequestAndNothingHangs) {
  camera_->Emu().SetAnswering(false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WriteAuxByte(device_, 0x10, 0x5A));
  EXPECT_EQ(ReadAuxByte(device_, 0x10), kAuxReadFailed);
  const RegisterEntry table[] = {{0xA0, 0x01, 0x120}, {0xA1, 1, 0x121}, {0, 0, 0}};
  EXPECT_FALSE(RunRegisterTable(device_, table));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // 4 + 2 + 1 writes at 200 ms, 2 + 2 + 1 reads at 250 ms.
  EXPECT_GE(elapsed, std::chrono::milliseconds(2500));
  EXPECT_LT(elapsed, std::chrono::milliseconds(8000));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));

  // Every request went out (each timed-out transfer was closed, or the next one would
  // still queue behind it).
  const auto log = camera_->RawLog();
  ASSERT_EQ(log.size(), 13u);
  for (const auto& entry : log) EXPECT_EQ(entry.outcome, emucam::RequestOutcome::Ignored);
  EXPECT_EQ(camera_->Log(), "304=00 303=10 305=5A 301=01 302? 306? 304=00 303=10 301=02 302? 306? 120=01 121?");

  camera_->Emu().SetAnswering(true);
  EXPECT_TRUE(WriteAuxByte(device_, 0x10, 0x5A));
  EXPECT_EQ(ReadAuxByte(device_, 0x10), 0x5Au);
}

TEST_F(VendorRequestTest, UnansweredRequestsWaitTheirWholeTimeOut) {
  camera_->Emu().SetAnswering(false);
  DWORD value = 0;
  EXPECT_FALSE(WriteControllerRegister(device_, 0x120, 0x01));
  EXPECT_FALSE(ReadControllerRegister(device_, 0x121, &value));
  EXPECT_FALSE(WriteControllerRegister(device_, 0x122, 0x02));
  camera_->Emu().SetAnswering(true);
  const auto log = camera_->RawLog();
  ASSERT_EQ(log.size(), 3u);
  // Each request goes out only once the one before has timed out: 200 ms for a write,
  // 250 ms for a read, on the camera's clock.
  EXPECT_GE(log[1].atUs - log[0].atUs, 200'000);
  EXPECT_GE(log[2].atUs - log[1].atUs, 250'000);
}

TEST_F(VendorRequestTest, WritesAndReadsPassTheirTransferFlags) {
  drvtest::UsbTap tap(device_);
  BYTE byte = 0;
  EXPECT_TRUE(VendorWrite(device_, 0xA0, 1, 0x120, nullptr, 0));
  EXPECT_TRUE(VendorRead(device_, 0xA1, 1, 0x120, &byte, 1));
  const RegisterEntry table[] = {{0xA0, 0x02, 0x121}, {0xA1, 1, 0x121}, {0, 0, 0}};
  EXPECT_TRUE(RunRegisterTable(device_, table));
  EXPECT_EQ(tap.VendorFlags(), (std::vector<DWORD>{0x200, 0x280, 0x200, 0x280}));
}

TEST_F(VendorRequestTest, StreamingInterfaceOpensThePipeOfTheSetting) {
  ASSERT_TRUE(OpenStreamingInterface(device_, 7));
  EXPECT_NE(device_->streamingPipe, nullptr);
  EXPECT_NE(device_->streamingEvent, nullptr);
  EXPECT_NE(device_->streamingEndpointAddress & 0x80, 0);
  EXPECT_EQ(device_->streamingPacketSize, 1023);
  EXPECT_EQ(camera_->Emu().alternateSetting(), 7);
  EXPECT_EQ(camera_->Log(), "alt=7");
  CloseStreaming();

  // Setting 0 has no streaming endpoint; setting 9 does not exist.
  EXPECT_FALSE(OpenStreamingInterface(device_, 0));
  EXPECT_FALSE(OpenStreamingInterface(device_, 9));
  EXPECT_EQ(device_->streamingPipe, nullptr);
}

class OversizedSettingTest : public VendorRequestTest {
 protected:
  OversizedSettingTest() { options_ = "sensor=2,timing=fast,packets=128+256+384+512+680+896+1024"; }
};

TEST_F(OversizedSettingTest, SettingWithPacketsOf1024IsNotAccepted) {
  EXPECT_FALSE(OpenStreamingInterface(device_, 7));
  EXPECT_EQ(device_->streamingPipe, nullptr);
  ASSERT_TRUE(OpenStreamingInterface(device_, 6));
  EXPECT_EQ(device_->streamingPacketSize, 896);
  EXPECT_EQ(camera_->Log(), "alt=7 alt=6");
  CloseStreaming();
}

}  // namespace
