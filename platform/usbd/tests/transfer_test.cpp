// Transfers through the USB_FUNCS table: vendor control transfers with completion
// routines, closing pending transfers, alternate settings, pipes and isochronous IN.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "host_fixture.h"
#include "id_table.h"
#include "platform/winbase.h"

namespace usbtest {
namespace {

using testclient::kTestVendor;

// Completion routines of one test record their tags here, in the order they run.
struct CompletionLog {
  std::mutex mutex;
  std::vector<int> tags;
  std::vector<int> Tags() {
    std::lock_guard lock(mutex);
    return tags;
  }
};

struct CompletionContext {
  CompletionLog* log;
  int tag;
};

DWORD RecordCompletion(LPVOID context) {
  auto* completion = static_cast<CompletionContext*>(context);
  std::lock_guard lock(completion->log->mutex);
  completion->log->tags.push_back(completion->tag);
  return 0;
}

USB_DEVICE_REQUEST VendorRead(BYTE request, WORD index, WORD length) { return {0xC0, request, 1, index, length}; }

class TransferTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    backend = Plug(kTestVendor, &id);
    const testclient::Attachment attached = Attached();
    device = attached.device;
    funcs = attached.funcs;
    ASSERT_NE(funcs, nullptr);
  }

  USB_TRANSFER IssueRead(CompletionContext* context, const USB_DEVICE_REQUEST& setup, void* buffer) {
    return funcs->IssueVendorTransfer(device, &RecordCompletion, context, USB_IN_TRANSFER | USB_SHORT_TRANSFER_OK,
                                      &setup, buffer, 0);
  }

  USB_PIPE OpenStreamingPipe() {
    LPCUSB_INTERFACE streaming = funcs->FindInterface(funcs->GetDeviceInfo(device), 0, 1);
    return streaming ? funcs->OpenPipe(device, &streaming->lpEndpoints[0].Descriptor) : nullptr;
  }

  usbhost::DeviceId id = 0;
  std::shared_ptr<TestBackend> backend;
  USB_HANDLE device = nullptr;
  LPCUSB_FUNCS funcs = nullptr;
  CompletionLog log;
};

using VendorTransfer = TransferTest;

TEST_F(VendorTransfer, ARoutineRunsOnCompletionAndTheStatusReportsBytesAndError) {
  CompletionContext context{&log, 7};
  uint8_t data[4] = {};
  const USB_DEVICE_REQUEST setup = VendorRead(0xA1, 0x123, sizeof data);
  USB_TRANSFER transfer = IssueRead(&context, setup, data);
  ASSERT_NE(transfer, nullptr);
  EXPECT_EQ(log.Tags(), std::vector<int>{7});

  DWORD bytes = 0;
  DWORD usbError = 0xFFFF;
  ASSERT_TRUE(funcs->GetTransferStatus(transfer, &bytes, &usbError));
  EXPECT_EQ(bytes, 4u);
  EXPECT_EQ(usbError, USB_NO_ERROR);
  for (size_t i = 0; i < sizeof data; ++i) EXPECT_EQ(data[i], AnswerByte(setup, i)) << i;

  const auto requests = backend->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(std::memcmp(&requests[0], &setup, sizeof setup), 0) << "the setup packet reaches the device unchanged";

  EXPECT_TRUE(funcs->CloseTransfer(transfer));
  SetLastError(0);
  EXPECT_FALSE(funcs->CloseTransfer(transfer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(funcs->GetTransferStatus(transfer, &bytes, &usbError));
}

TEST_F(VendorTransfer, AStallIsReportedAsTheUsbError) {
  backend->SetControlError(USB_STALL_ERROR);
  CompletionContext context{&log, 1};
  const USB_DEVICE_REQUEST setup{0x40, 0xA0, 0x55, 0x3FF, 0};
  USB_TRANSFER transfer =
      funcs->IssueVendorTransfer(device, &RecordCompletion, &context, USB_SHORT_TRANSFER_OK, &setup, nullptr, 0);
  ASSERT_NE(transfer, nullptr);
  DWORD bytes = 1;
  DWORD usbError = 0;
  ASSERT_TRUE(funcs->GetTransferStatus(transfer, &bytes, &usbError));
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(usbError, USB_STALL_ERROR);
  EXPECT_EQ(log.Tags().size(), 1u);
  funcs->CloseTransfer(transfer);
}

TEST_F(VendorTransfer, ALateAnswerCompletesThePendingTransferOnTheAnsweringThread) {
  backend->SetControlAnswer(ControlAnswer::WhenReleased);
  CompletionContext context{&log, 3};
  uint8_t data[2] = {};
  USB_TRANSFER transfer = IssueRead(&context, VendorRead(0xA1, 1, sizeof data), data);
  ASSERT_NE(transfer, nullptr);

  DWORD bytes = 0;
  DWORD usbError = 0;
  ASSERT_TRUE(funcs->GetTransferStatus(transfer, &bytes, &usbError));
  EXPECT_EQ(usbError, USB_NOT_COMPLETE_ERROR);
  EXPECT_TRUE(log.Tags().empty());

  std::thread device_thread([this] { EXPECT_TRUE(backend->AnswerHeldTransfer()); });
  device_thread.join();
  EXPECT_EQ(log.Tags(), std::vector<int>{3});
  ASSERT_TRUE(funcs->GetTransferStatus(transfer, &bytes, &usbError));
  EXPECT_EQ(bytes, 2u);
  EXPECT_EQ(usbError, USB_NO_ERROR);
  EXPECT_EQ(data[1], AnswerByte(VendorRead(0xA1, 1, 2), 1));
  funcs->CloseTransfer(transfer);
}

TEST_F(VendorTransfer, TransfersIssuedTogetherReachTheDeviceOneAtATimeInOrder) {
  backend->SetControlAnswer(ControlAnswer::WhenReleased);
  CompletionContext contexts[3] = {{&log, 0}, {&log, 1}, {&log, 2}};
  uint8_t data[3] = {};
  std::vector<USB_TRANSFER> transfers;
  for (BYTE i = 0; i < 3; ++i) transfers.push_back(IssueRead(&contexts[i], VendorRead(0x10 + i, i, 1), &data[i]));
  ASSERT_EQ(std::ranges::count(transfers, nullptr), 0);

  for (size_t answered = 0; answered < 3; ++answered) {
    EXPECT_EQ(backend->Requests().size(), answered + 1);
    ASSERT_TRUE(backend->AnswerHeldTransfer());
  }
  EXPECT_EQ(log.Tags(), (std::vector<int>{0, 1, 2}));
  for (BYTE i = 0; i < 3; ++i) EXPECT_EQ(data[i], 0x10 + i);
  for (USB_TRANSFER transfer : transfers) funcs->CloseTransfer(transfer);
}

TEST_F(VendorTransfer, ClosingAPendingTransferCancelsItAndALateAnswerTouchesNothing) {
  backend->SetControlAnswer(ControlAnswer::Never);
  CompletionContext context{&log, 9};
  auto data = std::make_unique<uint8_t[]>(8);
  USB_TRANSFER transfer = IssueRead(&context, VendorRead(0xA1, 5, 8), data.get());
  ASSERT_NE(transfer, nullptr);
  ASSERT_TRUE(backend->HoldsTransfer());

  EXPECT_TRUE(funcs->CloseTransfer(transfer));
  EXPECT_EQ(backend->CancelCount(), 1);
  data.reset();  // the client frees its buffer as soon as the transfer is closed
  // A faulty device answers anyway: neither the freed buffer nor the routine is touched.
  EXPECT_TRUE(backend->AnswerHeldTransfer());
  EXPECT_TRUE(log.Tags().empty());

  // The default pipe is free again for the next transfer.
  backend->SetControlAnswer(ControlAnswer::AtOnce);
  uint8_t byte = 0;
  USB_TRANSFER next = IssueRead(&context, VendorRead(0x42, 0, 1), &byte);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(log.Tags(), std::vector<int>{9});
  EXPECT_EQ(byte, 0x42);
  funcs->CloseTransfer(next);
}

TEST_F(VendorTransfer, ClosingAWaitingTransferKeepsItFromTheDevice) {
  backend->SetControlAnswer(ControlAnswer::WhenReleased);
  CompletionContext first{&log, 1};
  CompletionContext second{&log, 2};
  uint8_t data[2] = {};
  USB_TRANSFER a = IssueRead(&first, VendorRead(0x01, 0, 1), &data[0]);
  USB_TRANSFER b = IssueRead(&second, VendorRead(0x02, 0, 1), &data[1]);
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(funcs->CloseTransfer(b));
  ASSERT_TRUE(backend->AnswerHeldTransfer());
  EXPECT_FALSE(backend->HoldsTransfer());
  EXPECT_EQ(backend->Requests().size(), 1u);
  EXPECT_EQ(log.Tags(), std::vector<int>{1});
  EXPECT_EQ(data[1], 0);
  funcs->CloseTransfer(a);
}

TEST_F(VendorTransfer, BadArgumentsAndStaleDevicesGiveNoTransfer) {
  uint8_t data[4];
  SetLastError(0);
  EXPECT_EQ(funcs->IssueVendorTransfer(device, nullptr, nullptr, 0, nullptr, data, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  const USB_DEVICE_REQUEST read = VendorRead(0xA1, 0, 4);
  EXPECT_EQ(funcs->IssueVendorTransfer(device, nullptr, nullptr, USB_IN_TRANSFER, &read, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(funcs->IssueVendorTransfer(usbhost::HandleFromId<USB_HANDLE>(0xDEAD), nullptr, nullptr, 0, &read, data, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(backend->Requests().empty());
}

TEST_F(VendorTransfer, UnplugCompletesAPendingTransferWithAnError) {
  backend->SetControlAnswer(ControlAnswer::Never);
  CompletionContext context{&log, 4};
  uint8_t data[1] = {0x5A};
  USB_TRANSFER transfer = IssueRead(&context, VendorRead(0xA1, 0, 1), data);
  ASSERT_NE(transfer, nullptr);
  ASSERT_TRUE(usbhost::UnplugDevice(id));
  EXPECT_EQ(log.Tags(), std::vector<int>{4});
  EXPECT_EQ(backend->CancelCount(), 1);
  DWORD bytes = 1;
  DWORD usbError = 0;
  ASSERT_TRUE(funcs->GetTransferStatus(transfer, &bytes, &usbError));
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(usbError, USB_DEVICE_NOT_RESPONDING_ERROR);
  EXPECT_EQ(data[0], 0x5A);
  EXPECT_TRUE(funcs->CloseTransfer(transfer));
}

using Isochronous = TransferTest;

TEST_F(Isochronous, SetInterfaceSelectsTheSettingBeforeItReturns) {
  USB_TRANSFER transfer = funcs->SetInterface(device, nullptr, nullptr, 0, 0, 1);
  ASSERT_NE(transfer, nullptr);
  EXPECT_EQ(backend->SelectedSettings(), (std::vector<std::pair<uint8_t, uint8_t>>{{0, 1}}));
  DWORD bytes = 1;
  DWORD usbError = 1;
  ASSERT_TRUE(funcs->GetTransferStatus(transfer, &bytes, &usbError));
  EXPECT_EQ(usbError, USB_NO_ERROR);
  EXPECT_TRUE(funcs->CloseTransfer(transfer));

  SetLastError(0);
  EXPECT_EQ(funcs->SetInterface(device, nullptr, nullptr, 0, 0, 5), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(backend->SelectedSettings().size(), 1u);
}

TEST_F(Isochronous, EachPacketLandsAtItsOffsetAndReportsItsLength) {
  USB_PIPE pipe = OpenStreamingPipe();
  ASSERT_NE(pipe, nullptr);
  EXPECT_TRUE(funcs->ResetPipe(pipe));
  backend->SetPacketLengths({500, 0, 37, 512});
  const DWORD requested[4] = {512, 512, 512, 512};
  std::vector<uint8_t> buffer(2048, 0xEE);

  USB_TRANSFER transfer = funcs->IssueIsochTransfer(pipe, nullptr, nullptr, 0xE80, 0, 4, requested, buffer.data(), 0);
  ASSERT_NE(transfer, nullptr);
  DWORD actual[4] = {};
  ASSERT_TRUE(funcs->GetIsochResults(transfer, 4, actual, nullptr));
  EXPECT_EQ(std::vector<DWORD>(actual, actual + 4), (std::vector<DWORD>{500, 0, 37, 512}));
  for (size_t packet = 0; packet < 4; ++packet) {
    for (size_t i = 0; i < actual[packet]; ++i) {
      ASSERT_EQ(buffer[packet * 512 + i], PacketByte(packet, i)) << packet << " " << i;
    }
  }
  EXPECT_EQ(buffer[500], 0xEE) << "a short packet leaves the rest of its slot alone";
  EXPECT_EQ(buffer[512], 0xEE);

  DWORD bytes = 0;
  DWORD usbError = 1;
  ASSERT_TRUE(funcs->GetTransferStatus(transfer, &bytes, &usbError));
  EXPECT_EQ(bytes, 500u + 37u + 512u);
  EXPECT_EQ(usbError, USB_NO_ERROR);
  DWORD tooMany[5];
  EXPECT_FALSE(funcs->GetIsochResults(transfer, 5, tooMany, nullptr));
  EXPECT_TRUE(funcs->CloseTransfer(transfer));
  EXPECT_TRUE(funcs->ClosePipe(pipe));
}

TEST_F(Isochronous, PacketsOfDifferentRequestedLengthsFollowEachOther) {
  USB_PIPE pipe = OpenStreamingPipe();
  ASSERT_NE(pipe, nullptr);
  backend->SetPacketLengths({512});
  const DWORD requested[3] = {10, 300, 20};
  std::vector<uint8_t> buffer(330, 0);
  USB_TRANSFER transfer = funcs->IssueIsochTransfer(pipe, nullptr, nullptr, 0xE80, 0, 3, requested, buffer.data(), 0);
  ASSERT_NE(transfer, nullptr);
  EXPECT_EQ(buffer[9], PacketByte(0, 9));
  EXPECT_EQ(buffer[10], PacketByte(1, 0));
  EXPECT_EQ(buffer[310], PacketByte(2, 0));
  EXPECT_EQ(buffer[329], PacketByte(2, 19));
  funcs->CloseTransfer(transfer);
  funcs->ClosePipe(pipe);
}

TEST_F(Isochronous, AFaultInsideTheTransferReachesTheCaller) {
  USB_PIPE pipe = OpenStreamingPipe();
  ASSERT_NE(pipe, nullptr);
  const DWORD requested[4] = {512, 512, 512, 512};
  std::vector<uint8_t> buffer(2048);
  backend->ThrowInNextIsoch();
  EXPECT_THROW(funcs->IssueIsochTransfer(pipe, nullptr, nullptr, 0xE80, 0, 4, requested, buffer.data(), 0),
               std::runtime_error);
  USB_TRANSFER transfer = funcs->IssueIsochTransfer(pipe, nullptr, nullptr, 0xE80, 0, 4, requested, buffer.data(), 0);
  EXPECT_NE(transfer, nullptr) << "the pipe goes on after a fault";
  funcs->CloseTransfer(transfer);
  funcs->ClosePipe(pipe);
}

TEST_F(Isochronous, PipesAreCheckedAndFailOnceClosed) {
  LPCUSB_INTERFACE streaming = funcs->FindInterface(funcs->GetDeviceInfo(device), 0, 1);
  ASSERT_NE(streaming, nullptr);
  SetLastError(0);
  EXPECT_EQ(funcs->OpenPipe(device, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  USB_ENDPOINT_DESCRIPTOR unknown = streaming->lpEndpoints[0].Descriptor;
  unknown.bEndpointAddress = 0x85;
  EXPECT_EQ(funcs->OpenPipe(device, &unknown), nullptr);

  const DWORD requested[1] = {64};
  uint8_t buffer[64];
  USB_PIPE bulk = funcs->OpenPipe(device, &streaming->lpEndpoints[1].Descriptor);
  ASSERT_NE(bulk, nullptr);
  SetLastError(0);
  EXPECT_EQ(funcs->IssueIsochTransfer(bulk, nullptr, nullptr, 0xE80, 0, 1, requested, buffer, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(funcs->ClosePipe(bulk));
  EXPECT_FALSE(funcs->ClosePipe(bulk));

  USB_PIPE pipe = OpenStreamingPipe();
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(funcs->IssueIsochTransfer(pipe, nullptr, nullptr, 0xE80, 0, 0, requested, buffer, 0), nullptr);
  EXPECT_EQ(funcs->IssueIsochTransfer(pipe, nullptr, nullptr, 0xE80, 0, 1, nullptr, buffer, 0), nullptr);
  EXPECT_TRUE(funcs->ClosePipe(pipe));
  SetLastError(0);
  EXPECT_EQ(funcs->IssueIsochTransfer(pipe, nullptr, nullptr, 0xE80, 0, 1, requested, buffer, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(funcs->ResetPipe(pipe));
}

TEST_F(Isochronous, UnplugEndsATransferBlockedInTheDevice) {
  USB_PIPE pipe = OpenStreamingPipe();
  ASSERT_NE(pipe, nullptr);
  backend->BlockIsochUntilUnplug();
  std::atomic<USB_TRANSFER> result{reinterpret_cast<USB_TRANSFER>(1)};
  std::atomic<DWORD> error{0};
  std::thread capture([&] {
    const DWORD requested[4] = {512, 512, 512, 512};
    std::vector<uint8_t> buffer(2048);
    result = funcs->IssueIsochTransfer(pipe, nullptr, nullptr, 0xE80, 0, 4, requested, buffer.data(), 0);
    error = GetLastError();
  });
  ASSERT_TRUE(backend->WaitForBlockedIsoch());
  EXPECT_TRUE(usbhost::UnplugDevice(id));
  capture.join();
  EXPECT_EQ(result.load(), nullptr);
  EXPECT_EQ(error.load(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
  EXPECT_EQ(testclient::Notifications().size(), 1u);
}

TEST_F(Isochronous, AfterUnplugThePipeFailsButFetchedRecordsStayReadable) {
  USB_PIPE pipe = OpenStreamingPipe();
  ASSERT_NE(pipe, nullptr);
  LPCUSB_DEVICE info = funcs->GetDeviceInfo(device);
  ASSERT_TRUE(usbhost::UnplugDevice(id));

  const DWORD requested[1] = {64};
  uint8_t buffer[64];
  SetLastError(0);
  EXPECT_EQ(funcs->IssueIsochTransfer(pipe, nullptr, nullptr, 0xE80, 0, 1, requested, buffer, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(funcs->SetInterface(device, nullptr, nullptr, 0, 0, 1), nullptr);
  EXPECT_EQ(funcs->FindInterface(info, 0, 1)->lpEndpoints[0].Descriptor.bEndpointAddress, 0x81);
}

}  // namespace
}  // namespace usbtest
