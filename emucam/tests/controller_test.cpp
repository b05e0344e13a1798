// The controller as the driver sees it through vendor requests: register file, reset,
// identifier, sensor window, auxiliary window, other requests, descriptors.
#include <gtest/gtest.h>

#include "camera_test_support.h"

namespace emucam {
namespace {

using testing::Control;
using testing::MakeCamera;
using testing::ReadRegister;
using testing::ReadSensor;
using testing::WriteRegister;
using testing::WriteSensor;

TEST(ControllerRegisters, WritesReadBackAcrossTheWholeFile) {
  auto camera = MakeCamera("sensor=2");
  for (uint16_t reg : {0x001, 0x002, 0x010, 0x08B, 0x101, 0x180, 0x1CB, 0x250, 0x3FF}) {
    const auto value = static_cast<uint8_t>(reg * 7 + 3);
    ASSERT_TRUE(WriteRegister(*camera, reg, value)) << reg;
    EXPECT_EQ(ReadRegister(*camera, reg), value) << reg;
  }
}

TEST(ControllerRegisters, ResetClearsRegistersButNotSensorNorAuxMemoryNorIdentifier) {
  auto camera = MakeCamera("sensor=11a,chipid=0xE001");
  WriteRegister(*camera, 0x002, 0x10);
  WriteRegister(*camera, 0x180, 0x42);
  WriteRegister(*camera, 0x010, 0x0A);
  WriteRegister(*camera, 0x08B, 0xDC);
  WriteSensor(*camera, 0x09, 0x0123);
  WriteRegister(*camera, 0x303, 0x21);  // aux byte 0x21 = 0x5A
  WriteRegister(*camera, 0x305, 0x5A);
  WriteRegister(*camera, 0x301, 0x01);

  ASSERT_TRUE(WriteRegister(*camera, 0x000, 0x01));

  for (uint16_t reg : {0x000, 0x002, 0x180, 0x010, 0x08B, 0x303, 0x305})
    EXPECT_EQ(ReadRegister(*camera, reg), 0) << reg;
  EXPECT_EQ(ReadRegister(*camera, 0x00B), 0xE0);
  EXPECT_EQ(ReadRegister(*camera, 0x00A), 0x01);
  WriteRegister(*camera, 0x303, 0x21);
  WriteRegister(*camera, 0x301, 0x02);
  EXPECT_EQ(ReadRegister(*camera, 0x306), 0x5A);
  WriteRegister(*camera, 0x010, 0x0A);
  WriteRegister(*camera, 0x08B, 0xDC);
  EXPECT_EQ(ReadSensor(*camera, 0x09), 0x0123);
}

TEST(ControllerRegisters, IdentifierIsReadOnlyAndFollowsTheProfile) {
  auto variantA = MakeCamera("sensor=11a");
  WriteRegister(*variantA, 0x00A, 0x77);
  EXPECT_EQ(ReadRegister(*variantA, 0x00B), 0xC0);
  EXPECT_EQ(ReadRegister(*variantA, 0x00A), 0x01);
  auto plain = MakeCamera("sensor=2");
  EXPECT_EQ(ReadRegister(*plain, 0x00B), 0x00);
}

TEST(ControllerRegisters, OtherRequestsAnswerLikeTheChip) {
  auto camera = MakeCamera("");
  WriteRegister(*camera, 0x020, 0x44);
  std::vector<uint8_t> data(4, 0xEE);
  // A read with another request number still returns exactly one byte.
  auto outcome = Control(*camera, {0xC0, 0x77, 1, 0x020, 4}, data);
  EXPECT_TRUE(outcome.completed);
  EXPECT_EQ(outcome.usbError, USB_NO_ERROR);
  EXPECT_EQ(outcome.bytes, 1u);
  // A write with another request number is taken and changes nothing.
  std::vector<uint8_t> none;
  outcome = Control(*camera, {0x40, 0x55, 0x99, 0x020, 0}, none);
  EXPECT_EQ(outcome.usbError, USB_NO_ERROR);
  EXPECT_EQ(ReadRegister(*camera, 0x020), 0x44);
  // Registers beyond 0x3FF do not exist.
  outcome = Control(*camera, {0x40, kRegisterWrite, 1, 0x400, 0}, none);
  EXPECT_EQ(outcome.usbError, USB_STALL_ERROR);
  // The data stage never exceeds what the host gave, whatever wLength says.
  std::vector<uint8_t> empty;
  outcome = Control(*camera, {0xC0, kRegisterRead, 1, 0x020, 1}, empty);
  EXPECT_EQ(outcome.bytes, 0u);
  // Standard GET_STATUS answers two zero bytes; class requests stall.
  std::vector<uint8_t> status(2, 0xEE);
  outcome = Control(*camera, {0x80, 0x00, 0, 0, 2}, status);
  EXPECT_EQ(outcome.bytes, 2u);
  EXPECT_EQ(status, (std::vector<uint8_t>{0, 0}));
  outcome = Control(*camera, {0x21, 0x01, 0, 0, 0}, none);
  EXPECT_EQ(outcome.usbError, USB_STALL_ERROR);
}

TEST(SensorWindow, ReadsBackOnlyBehindTheProfilesBus) {
  auto camera = MakeCamera("sensor=9");  // answers behind selection 0x0E with bank 0x8D=0x08
  WriteRegister(*camera, 0x010, 0x0E);
  WriteRegister(*camera, 0x08D, 0x08);
  WriteSensor(*camera, 0x03, 0x12AA);
  EXPECT_EQ(ReadRegister(*camera, 0x091), 0x00);
  EXPECT_EQ(ReadSensor(*camera, 0x03), 0x12AA);

  WriteRegister(*camera, 0x08D, 0x00);  // another bank: nobody answers
  EXPECT_EQ(ReadSensor(*camera, 0x03), 0x0000);
  EXPECT_NE(ReadRegister(*camera, 0x091), 0x00);
  WriteSensor(*camera, 0x03, 0x0055);  // and writes go nowhere
  WriteRegister(*camera, 0x08D, 0x08);
  EXPECT_EQ(ReadSensor(*camera, 0x03), 0x12AA);
}

TEST(SensorWindow, ReadOnlySensorAcknowledgesWritesAndKeepsItsValue) {
  auto camera = MakeCamera("sensor=hibyte");
  WriteSensor(*camera, 0x01, 0x00AA);
  EXPECT_EQ(ReadRegister(*camera, 0x091), 0x00);
  EXPECT_EQ(ReadSensor(*camera, 0x01), 0x5500);
}

TEST(SensorWindow, NoSensorNeverAnswers) {
  auto camera = MakeCamera("sensor=none");
  for (uint8_t selection : {0x00, 0x02, 0x0A, 0x0F}) {
    WriteRegister(*camera, 0x010, selection);
    WriteSensor(*camera, 0x01, 0x00AA);
    EXPECT_EQ(ReadSensor(*camera, 0x01), 0) << int(selection);
  }
}

TEST(AuxWindow, StoreKeepsEveryAddressAndStatusIsDone) {
  auto camera = MakeCamera("");
  for (int address = 0; address < 256; ++address) {
    WriteRegister(*camera, 0x304, 0x00);
    WriteRegister(*camera, 0x303, static_cast<uint8_t>(address));
    WriteRegister(*camera, 0x305, static_cast<uint8_t>(address ^ 0xA5));
    WriteRegister(*camera, 0x301, 0x01);
    ASSERT_EQ(ReadRegister(*camera, 0x302), 0x00);
  }
  for (int address = 255; address >= 0; --address) {
    WriteRegister(*camera, 0x303, static_cast<uint8_t>(address));
    WriteRegister(*camera, 0x301, 0x02);
    ASSERT_EQ(ReadRegister(*camera, 0x306), address ^ 0xA5) << address;
  }
}

TEST(Descriptors, CameraOffersEightSettingsWithGrowingIsochronousPackets) {
  const usbhost::DeviceModel model = MakeCamera("")->Describe();
  EXPECT_EQ(model.device.idVendor, 0x0AC8);
  EXPECT_EQ(model.device.bNumConfigurations, 1);
  ASSERT_EQ(model.interfaces.size(), 8u);
  EXPECT_TRUE(model.interfaces[0].endpoints.empty());
  uint16_t previous = 0;
  for (uint8_t setting = 1; setting < 8; ++setting) {
    const auto& interface = model.interfaces[setting];
    EXPECT_EQ(interface.descriptor.bInterfaceNumber, 0);
    EXPECT_EQ(interface.descriptor.bAlternateSetting, setting);
    ASSERT_EQ(interface.endpoints.size(), 1u);
    const auto& endpoint = interface.endpoints[0];
    EXPECT_TRUE(endpoint.bEndpointAddress & 0x80);
    EXPECT_EQ(endpoint.bmAttributes & 0x03, USB_ENDPOINT_TYPE_ISOCHRONOUS);
    EXPECT_GT(endpoint.wMaxPacketSize, previous);
    EXPECT_LT(endpoint.wMaxPacketSize, 1024);
    previous = endpoint.wMaxPacketSize;
  }
  EXPECT_EQ(previous, 1023);
}

TEST(Descriptors, OverridesMakeTheRefusalCases) {
  EXPECT_EQ(MakeCamera("vendor=0x1234")->Describe().device.idVendor, 0x1234);

  for (const auto& interface : MakeCamera("packets=1024")->Describe().interfaces) {
    for (const auto& endpoint : interface.endpoints) EXPECT_GE(endpoint.wMaxPacketSize, 1024);
  }

  const auto onlyZero = MakeCamera("endpoint=setting0")->Describe();
  EXPECT_EQ(onlyZero.interfaces[0].endpoints.size(), 1u);
  for (uint8_t setting = 1; setting < 8; ++setting) EXPECT_TRUE(onlyZero.interfaces[setting].endpoints.empty());

  auto refusing = MakeCamera("refuse=7+6");
  EXPECT_FALSE(refusing->SelectAlternateSetting(0, 7));
  EXPECT_FALSE(refusing->SelectAlternateSetting(0, 6));
  EXPECT_TRUE(refusing->SelectAlternateSetting(0, 5));
  EXPECT_EQ(refusing->alternateSetting(), 5);
  EXPECT_FALSE(refusing->SelectAlternateSetting(0, 8));
  EXPECT_FALSE(refusing->SelectAlternateSetting(1, 1));
}

}  // namespace
}  // namespace emucam
