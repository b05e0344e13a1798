#include "byte_stream.h"

#include <algorithm>
#include <climits>
#include <cstring>

ByteStream::ByteStream(uint8_t* buffer, int bufferSize, ByteStreamSink sink)
    : bufferStart_(buffer), writePointer_(buffer), bufferEnd_(buffer + bufferSize), filledEnd_(buffer), sink_(sink) {}

void ByteStream::PutByte(uint8_t value) {
  *writePointer_++ = value;
  if (writePointer_ == bufferEnd_) WriteBuffered();
}

void ByteStream::PutBytes(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const size_t count = std::min(size, static_cast<size_t>(bufferEnd_ - writePointer_));
    std::memcpy(writePointer_, bytes, count);
    writePointer_ += count;
    bytes += count;
    size -= count;
    if (writePointer_ == bufferEnd_) WriteBuffered();
  }
}

void ByteStream::Put16(uint16_t value) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  PutBytes(bytes, sizeof bytes);
}

void ByteStream::Put32(uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  PutBytes(bytes, sizeof bytes);
}

void ByteStream::Put64(uint64_t value) {
  Put32(static_cast<uint32_t>(value));
  Put32(static_cast<uint32_t>(value >> 32));
}

void ByteStream::PutFourCC(const char* fourcc) { PutBytes(fourcc, std::strlen(fourcc)); }

void ByteStream::WriteBuffered() {
  const uint8_t* end = std::max(writePointer_, filledEnd_);
  if (end > bufferStart_) {
    const int count = static_cast<int>(end - bufferStart_);
    if (error_ == 0) {
      const int result = sink_.write(sink_.opaque, bufferStart_, count);
      if (result < 0) Latch(result);
    }
    filePosition_ += count;
  }
  writePointer_ = bufferStart_;
  filledEnd_ = bufferStart_;
}

void ByteStream::Flush() {
  WriteBuffered();
  mustFlush_ = false;
}

int64_t ByteStream::Tell() const { return filePosition_ + (writePointer_ - bufferStart_); }

int64_t ByteStream::Seek(int64_t position) {
  if (position < 0) return -1;
  filledEnd_ = std::max(filledEnd_, writePointer_);
  // Inside the filled part of the buffer a seek is free; a patch of a size field
  // written a moment ago usually lands there.
  if (!mustFlush_ && position >= filePosition_ && position <= filePosition_ + (filledEnd_ - bufferStart_)) {
    writePointer_ = bufferStart_ + (position - filePosition_);
    return position;
  }
  WriteBuffered();
  return MoveSink(position);
}

int64_t ByteStream::MoveSink(int64_t position) {
  mustFlush_ = true;
  const int64_t result = sink_.seek(sink_.opaque, position);
  if (result < 0) {
    // The sink is somewhere unknown now: anything written later would land in
    // the wrong place, so the failure ends the output like a write error.
    Latch(result);
    return result;
  }
  filePosition_ = position;
  return position;
}

int64_t ByteStream::Skip(int64_t offset) {
  if (offset == 0) return Tell();
  return Seek(Tell() + offset);
}

void ByteStream::Latch(int64_t failure) {
  if (error_ == 0) error_ = static_cast<int>(std::max<int64_t>(failure, INT_MIN));
}

bool ByteStream::Recover(int64_t position) {
  error_ = 0;
  writePointer_ = bufferStart_;
  filledEnd_ = bufferStart_;
  if (sink_.truncate != nullptr) {
    if (const int result = sink_.truncate(sink_.opaque, position); result < 0) {
      Latch(result);
      return false;
    }
  }
  return MoveSink(position) >= 0;
}
