// Frame assembly from scripted packet sequences, straight into a record's frame slots,
// and the rebuilt JPEG image's completeness rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "capture/frame_assembly.h"
#include "delivery/jpeg_rebuild.h"
#include "delivery/newest_frame.h"
#include "image/jpeg_header.h"

namespace {

using Bytes = std::vector<BYTE>;

constexpr size_t kCanaryBytes = 4096;
constexpr BYTE kCanary = 0xA5;

// A record with four slots, each followed by canary bytes that must stay untouched.
class AssemblyTest : public ::testing::Test {
 protected:
  AssemblyTest() {
    for (size_t i = 0; i < kFrameSlotCount; ++i) {
      storage_[i].assign(kFrameSlotBytes + kCanaryBytes, kCanary);
      FrameSlot& slot = device_.slots[i];
      slot.buffer = storage_[i].data();
      slot.capacity = kFrameSlotBytes;
      InitializeCriticalSection(&slot.lock);
    }
    assembler_.Restart();
  }
  ~AssemblyTest() override {
    for (FrameSlot& slot : device_.slots) DeleteCriticalSection(&slot.lock);
  }

  static Bytes FrameStart(size_t length, BYTE fill) {
    Bytes packet(length, fill);
    packet[0] = 0xFF;
    packet[1] = 0xD8;
    return packet;
  }

  // One transfer of four packets laid out at the packet stride, as the host delivers them.
  void Transfer(const std::array<Bytes, 4>& packets, DWORD stride = 1023) {
    Bytes received(4 * stride, 0xEE);
    std::array<DWORD, 4> lengths{};
    for (size_t i = 0; i < 4; ++i) {
      std::copy(packets[i].begin(), packets[i].end(), received.begin() + static_cast<std::ptrdiff_t>(i * stride));
      lengths[i] = static_cast<DWORD>(packets[i].size());
    }
    assembler_.AddTransfer(received.data(), stride, lengths.data(), 4);
  }

  Bytes SlotBytes(size_t index) const {
    const FrameSlot& slot = device_.slots[index];
    return Bytes(slot.buffer, slot.buffer + slot.length);
  }

  bool CanariesIntact() const {
    for (const Bytes& storage : storage_) {
      for (size_t i = kFrameSlotBytes; i < storage.size(); ++i) {
        if (storage[i] != kCanary) return false;
      }
    }
    return true;
  }

  VlmDevice device_;
  std::array<Bytes, kFrameSlotCount> storage_;
  FrameAssembler assembler_{device_};
};

TEST_F(AssemblyTest, RestartEmptiesAndZeroesSlotZero) {
  EXPECT_EQ(device_.writeSlot, 0u);
  EXPECT_EQ(device_.slots[0].length, 0u);
  EXPECT_EQ(storage_[0][0], 0);
  EXPECT_EQ(storage_[0][kFrameSlotBytes - 1], 0);
  EXPECT_EQ(storage_[1][0], kCanary);  // only slot 0 is cleared
}

TEST_F(AssemblyTest, MarkerInPacketTwoSplitsTheTransferBetweenTwoSlots) {
  Transfer({FrameStart(100, 1), Bytes(50, 2), Bytes(60, 3), Bytes(70, 4)});
  Transfer({Bytes(10, 5), Bytes(20, 6), FrameStart(30, 7), Bytes(40, 8)});

  EXPECT_EQ(device_.frameCounter, 2u);
  EXPECT_EQ(device_.writeSlot, 2u);
  Bytes first = FrameStart(100, 1);
  for (auto [length, fill] : {std::pair{50, 2}, {60, 3}, {70, 4}, {10, 5}, {20, 6}})
    first.insert(first.end(), length, BYTE(fill));
  EXPECT_EQ(SlotBytes(1), first);
  Bytes second = FrameStart(30, 7);
  second.insert(second.end(), 40, 8);
  EXPECT_EQ(SlotBytes(2), second);
}

TEST_F(AssemblyTest, MarkerAfterThePacketStartDoesNotStartAFrame) {
  Bytes late(40, 9);
  late[1] = 0xFF;
  late[2] = 0xD8;
  Transfer({FrameStart(20, 1), late, Bytes{0xFF}, Bytes{0xD8, 0xFF}});
  EXPECT_EQ(device_.frameCounter, 1u);
  EXPECT_EQ(device_.slots[1].length, 20u + 40u + 1u + 2u);
}

TEST_F(AssemblyTest, EmptyPacketsLeaveNoGaps) {
  Transfer({FrameStart(16, 1), Bytes{}, Bytes(8, 2), Bytes{}});
  Transfer({Bytes{}, Bytes{}, Bytes(4, 3), Bytes{}});
  Bytes expected = FrameStart(16, 1);
  expected.insert(expected.end(), 8, 2);
  expected.insert(expected.end(), 4, 3);
  EXPECT_EQ(SlotBytes(1), expected);
}

TEST_F(AssemblyTest, FiveFrameStartsUseSlotsOneTwoThreeZeroOne) {
  std::vector<DWORD> slots;
  for (int frame = 0; frame < 5; ++frame) {
    Transfer({FrameStart(10, BYTE(frame)), Bytes(5, BYTE(frame)), Bytes{}, Bytes{}});
    slots.push_back(device_.writeSlot);
  }
  EXPECT_EQ(slots, (std::vector<DWORD>{1, 2, 3, 0, 1}));
  EXPECT_EQ(device_.frameCounter, 5u);
  // Slot 1 was restarted for the fifth frame: only that frame's bytes remain.
  EXPECT_EQ(device_.slots[1].length, 15u);
  EXPECT_EQ(device_.slots[1].buffer[2], 4);
}

TEST_F(AssemblyTest, DataBeforeTheFirstMarkerIsNeverOffered) {
  Transfer({Bytes(100, 1), Bytes(100, 2), Bytes{}, Bytes{}});
  EXPECT_EQ(device_.slots[0].length, 200u);
  Transfer({FrameStart(10, 3), Bytes{}, Bytes{}, Bytes{}});
  // One frame start: slot 0 with the stray data is the slot before the write slot,
  // but no reader may take it.
  EXPECT_EQ(device_.frameCounter, 1u);
  bool used = false;
  EXPECT_EQ(WithNewestCompleteFrame(device_, [&](const FrameSlot&) { used = true; }), 0u);
  EXPECT_FALSE(used);

  Transfer({FrameStart(10, 4), Bytes{}, Bytes{}, Bytes{}});
  const FrameSlot* offered = nullptr;
  EXPECT_EQ(WithNewestCompleteFrame(device_, [&](const FrameSlot& slot) { offered = &slot; }), 2u);
  EXPECT_EQ(offered, &device_.slots[1]);
}

TEST_F(AssemblyTest, OversizedFrameKeepsWhatFittedAndNeverWritesPastItsSlot) {
  Transfer({FrameStart(1023, 1), Bytes(1023, 1), Bytes(1023, 1), Bytes(1023, 1)});
  for (int pass = 0; pass < 12; ++pass) Transfer({Bytes(1023, 2), Bytes(1023, 2), Bytes(1023, 2), Bytes(1023, 2)});
  const DWORD kept = device_.slots[1].length;
  EXPECT_LE(kept, kFrameSlotBytes);
  EXPECT_GT(kept, kFrameSlotBytes - 1023);
  // A later short packet of the same frame is dropped too: the frame has a hole now.
  Transfer({Bytes(3, 3), Bytes{}, Bytes{}, Bytes{}});
  EXPECT_EQ(device_.slots[1].length, kept);
  EXPECT_TRUE(CanariesIntact());

  // The next frame assembles normally in the next slot.
  Transfer({FrameStart(40, 4), Bytes(2, 4), Bytes{}, Bytes{}});
  EXPECT_EQ(device_.writeSlot, 2u);
  EXPECT_EQ(device_.slots[2].length, 42u);
}

TEST_F(AssemblyTest, LengthsBeyondThePacketStrideAreCutToIt) {
  Bytes received(4 * 64, 7);
  received[0] = 0xFF;
  received[1] = 0xD8;
  const std::array<DWORD, 4> lengths{5000, 0, 0, 0};
  assembler_.AddTransfer(received.data(), 64, lengths.data(), 4);
  EXPECT_EQ(device_.slots[1].length, 64u);
  EXPECT_TRUE(CanariesIntact());
}

// ---- completeness of a frame ----

TEST(EndOfImageTest, FindsTheMarkerAnywhereInTheWindowButNotAcrossItsEnd) {
  const BYTE atStart[] = {0xFF, 0xD9, 0, 0};
  const BYTE atEnd[] = {0, 0, 0xFF, 0xD9};
  const BYTE cut[] = {0, 0, 0, 0xFF};
  const BYTE reversed[] = {0xD9, 0xFF, 0, 0};
  EXPECT_TRUE(HasEndOfImage(atStart, 4));
  EXPECT_TRUE(HasEndOfImage(atEnd, 4));
  EXPECT_FALSE(HasEndOfImage(cut, 4));
  EXPECT_FALSE(HasEndOfImage(reversed, 4));
  EXPECT_FALSE(HasEndOfImage(atStart, 1));
  EXPECT_FALSE(HasEndOfImage(atStart, 0));
}

class WholeFrameTest : public ::testing::Test {
 protected:
  WholeFrameTest() : storage_(kFrameSlotBytes, 0x11) {
    slot_.buffer = storage_.data();
    slot_.capacity = kFrameSlotBytes;
  }
  // A frame of `length` bytes whose end-of-image marker is followed by `trailing` bytes.
  void Frame(DWORD length, DWORD trailing) {
    slot_.length = length;
    storage_[0] = 0xFF;
    storage_[1] = 0xD8;
    storage_[length - trailing - 2] = 0xFF;
    storage_[length - trailing - 1] = 0xD9;
  }
  Bytes storage_;
  FrameSlot slot_;
};

TEST_F(WholeFrameTest, FourteenTrailingBytesAreWholeFifteenAreNot) {
  Frame(5000, 14);
  EXPECT_TRUE(IsWholeFrame(slot_));
  Frame(6000, 15);
  EXPECT_FALSE(IsWholeFrame(slot_));
}

TEST_F(WholeFrameTest, ImageThatWouldNotFitTheWorkBufferIsNotWhole) {
  const DWORD largestFitting = kJpegWorkBufferBytes - static_cast<DWORD>(kJpegHeaderSize) + kCameraHeaderBytes;
  Frame(largestFitting, 0);
  EXPECT_TRUE(IsWholeFrame(slot_));
  EXPECT_EQ(RebuiltJpegLength(largestFitting), kJpegWorkBufferBytes);
  Frame(largestFitting + 1, 0);
  EXPECT_FALSE(IsWholeFrame(slot_));
}

TEST_F(WholeFrameTest, FrameWithoutScanDataIsNotWhole) {
  slot_.length = kCameraHeaderBytes;
  storage_[16] = 0xFF;
  storage_[17] = 0xD9;  // inside the camera's own header: not part of the image
  EXPECT_FALSE(IsWholeFrame(slot_));
  slot_.length = 3;
  EXPECT_FALSE(IsWholeFrame(slot_));
  EXPECT_EQ(RebuiltJpegLength(3), 0u);
}

}  // namespace
