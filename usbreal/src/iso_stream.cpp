#include "iso_stream.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace usbreal {

IsoStream::~IsoStream() {
  Close();
  FreeTransfers();
}

bool IsoStream::Read(uint8_t endpoint, std::span<const DWORD> lengths, uint8_t* buffer,
                     std::span<DWORD> actualLengths) {
  std::unique_lock lock(mutex_);
  if (closed_ || gone_ || lengths.empty()) return false;
  if (!running_ || endpoint != endpoint_ || !std::ranges::equal(lengths, lengths_)) {
    StopLocked(lock);
    if (!StartLocked(endpoint, lengths)) return false;
  }
  Slot& slot = slots_[next_];
  changed_.wait(lock, [&] { return !slot.inFlight || closed_; });
  if (closed_ || !running_) return false;

  switch (slot.transfer->status) {
    case LIBUSB_TRANSFER_COMPLETED: CopyPackets(slot, buffer, actualLengths); break;
    case LIBUSB_TRANSFER_NO_DEVICE: gone_ = true; return false;
    case LIBUSB_TRANSFER_CANCELLED: running_ = false; return false;
    default:  // failed, timed out, overflowed: a pass without data, the stream goes on
      std::fill(actualLengths.begin(), actualLengths.end(), 0);
      break;
  }
  next_ = (next_ + 1) % slots_.size();
  if (!SendLocked(slot)) running_ = false;  // the next read starts the ring again
  return true;
}

void IsoStream::CopyPackets(const Slot& slot, uint8_t* buffer, std::span<DWORD> actualLengths) const {
  size_t offset = 0;
  for (size_t i = 0; i < lengths_.size() && i < actualLengths.size(); ++i) {
    const libusb_iso_packet_descriptor& packet = slot.transfer->iso_packet_desc[i];
    const DWORD length =
        packet.status == LIBUSB_TRANSFER_COMPLETED ? std::min<DWORD>(packet.actual_length, lengths_[i]) : 0;
    std::memcpy(buffer + offset, slot.buffer.data() + offset, length);
    actualLengths[i] = length;
    offset += lengths_[i];
  }
}

bool IsoStream::StartLocked(uint8_t endpoint, std::span<const DWORD> lengths) {
  const size_t total = std::accumulate(lengths.begin(), lengths.end(), size_t{0});
  const bool reusable =
      slots_[0].transfer != nullptr && lengths.size() == lengths_.size() && total == slots_[0].buffer.size();
  if (!reusable) {
    FreeTransfers();
    for (Slot& slot : slots_) {
      slot.stream = this;
      slot.buffer.assign(total, 0);
      slot.transfer = libusb_alloc_transfer(static_cast<int>(lengths.size()));
      if (slot.transfer == nullptr) return false;
    }
  }
  lengths_.assign(lengths.begin(), lengths.end());
  endpoint_ = endpoint;
  for (Slot& slot : slots_) {
    libusb_fill_iso_transfer(slot.transfer, handle_, endpoint, slot.buffer.data(), static_cast<int>(total),
                             static_cast<int>(lengths.size()), Done, &slot, 0);
    for (size_t i = 0; i < lengths.size(); ++i) slot.transfer->iso_packet_desc[i].length = lengths[i];
  }
  next_ = 0;
  running_ = true;
  for (Slot& slot : slots_) {
    if (!SendLocked(slot)) {
      running_ = false;
      return false;
    }
  }
  return true;
}

bool IsoStream::SendLocked(Slot& slot) {
  const int result = libusb_submit_transfer(slot.transfer);
  if (result == LIBUSB_ERROR_NO_DEVICE) gone_ = true;
  slot.inFlight = result == LIBUSB_SUCCESS;
  return slot.inFlight;
}

void LIBUSB_CALL IsoStream::Done(libusb_transfer* transfer) {
  auto* slot = static_cast<Slot*>(transfer->user_data);
  IsoStream* stream = slot->stream;
  std::lock_guard lock(stream->mutex_);
  slot->inFlight = false;
  stream->changed_.notify_all();
}

void IsoStream::Stop() {
  std::unique_lock lock(mutex_);
  StopLocked(lock);
}

void IsoStream::Close() {
  std::unique_lock lock(mutex_);
  closed_ = true;
  changed_.notify_all();  // a blocked read returns now; the cancels finish below
  StopLocked(lock);
}

void IsoStream::StopLocked(std::unique_lock<std::mutex>& lock) {
  running_ = false;
  for (Slot& slot : slots_) {
    if (slot.inFlight) libusb_cancel_transfer(slot.transfer);
  }
  changed_.wait(lock, [this] { return std::ranges::none_of(slots_, [](const Slot& slot) { return slot.inFlight; }); });
}

void IsoStream::FreeTransfers() {
  for (Slot& slot : slots_) {
    libusb_free_transfer(slot.transfer);
    slot.transfer = nullptr;
  }
}

}  // namespace usbreal
