// The "usb" entry's options and how libusb's results read to the host and the user.

#include <gtest/gtest.h>

#include "device_selector.h"
#include "usb_errors.h"
#include "usbhost/usbdi.h"

namespace usbreal {
namespace {

TEST(UsbSelector, PicksByPlaceOrIdsAndThePlainEntryMeansEveryCameraOfTheVendor) {
  std::string error;
  const auto every = ParseDeviceSelector("", error);
  ASSERT_TRUE(every);
  EXPECT_TRUE(every->EveryCamera());
  EXPECT_TRUE(every->Matches(3, 9, kCameraVendor, 0x1234));
  EXPECT_FALSE(every->Matches(3, 9, 0x1234, 0x1234));

  const auto place = ParseDeviceSelector("bus=2,address=0x11", error);
  ASSERT_TRUE(place) << error;
  EXPECT_TRUE(place->Matches(2, 17, 0x1234, 1));
  EXPECT_FALSE(place->Matches(2, 16, kCameraVendor, 1));

  const auto ids = ParseDeviceSelector("vid=0x0ac8,pid=0xEC01", error);
  ASSERT_TRUE(ids) << error;
  EXPECT_TRUE(ids->Matches(1, 1, 0x0AC8, 0xEC01));
  EXPECT_FALSE(ids->Matches(1, 1, 0x0AC8, 0xEC02));
}

class UsbSelectorError : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(UsbSelectorError, NamesWhatIsWrong) {
  std::string error;
  EXPECT_FALSE(ParseDeviceSelector(GetParam().first, error));
  EXPECT_NE(error.find(GetParam().second), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Entries, UsbSelectorError,
                         ::testing::Values(std::pair{"port=3", "unknown key 'port'"},
                                           std::pair{"bus=256,address=1", "bus"}, std::pair{"vid=0x1FFFF", "vid"},
                                           std::pair{"pid=12x", "pid"}, std::pair{"bus=1", "together"},
                                           std::pair{"vid=", "vid"}));

TEST(UsbErrors, TransferStatusesBecomeTheHostsUsbErrors) {
  EXPECT_EQ(UsbErrorOf(LIBUSB_TRANSFER_COMPLETED), USB_NO_ERROR);
  EXPECT_EQ(UsbErrorOf(LIBUSB_TRANSFER_STALL), USB_STALL_ERROR);
  EXPECT_EQ(UsbErrorOf(LIBUSB_TRANSFER_CANCELLED), USB_CANCELED_ERROR);
  for (auto status :
       {LIBUSB_TRANSFER_ERROR, LIBUSB_TRANSFER_TIMED_OUT, LIBUSB_TRANSFER_NO_DEVICE, LIBUSB_TRANSFER_OVERFLOW}) {
    EXPECT_EQ(UsbErrorOf(status), USB_DEVICE_NOT_RESPONDING_ERROR) << status;
  }
  EXPECT_EQ(UsbErrorOfSubmit(LIBUSB_ERROR_PIPE), USB_STALL_ERROR);
  EXPECT_EQ(UsbErrorOfSubmit(LIBUSB_ERROR_NO_DEVICE), USB_DEVICE_NOT_RESPONDING_ERROR);
}

TEST(UsbErrors, OpenFailuresSayWhatToDo) {
  EXPECT_NE(OpenAdvice(LIBUSB_ERROR_ACCESS).find("udev"), std::string::npos);
  EXPECT_NE(OpenAdvice(LIBUSB_ERROR_ACCESS).find("plugdev"), std::string::npos);
  EXPECT_NE(OpenAdvice(LIBUSB_ERROR_BUSY).find("another program"), std::string::npos);
  EXPECT_NE(OpenAdvice(LIBUSB_ERROR_NO_DEVICE).find("went away"), std::string::npos);
}

}  // namespace
}  // namespace usbreal
