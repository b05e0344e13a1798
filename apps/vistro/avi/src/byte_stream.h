// Buffered, seekable output: bytes collect in a fixed buffer in front of a sink
// (the file) and size fields written after their chunk can be patched in place.
#pragma once

#include <cstddef>
#include <cstdint>

struct ByteStreamSink {
  void* opaque;
  // Hands over size bytes; returns size, or a negative value when not all of
  // them reached the sink.
  int (*write)(void* opaque, const uint8_t* data, int size);
  // Moves the sink to an absolute position; returns it or a negative value.
  int64_t (*seek)(void* opaque, int64_t position);
  // Cuts the sink to size bytes; 0, or a negative value. May be null (no cutting).
  int (*truncate)(void* opaque, int64_t size) = nullptr;
};

class ByteStream {
 public:
  ByteStream(uint8_t* buffer, int bufferSize, ByteStreamSink sink);
  ByteStream(const ByteStream&) = delete;
  ByteStream& operator=(const ByteStream&) = delete;

  void PutByte(uint8_t value);
  void PutBytes(const void* data, size_t size);
  void Put16(uint16_t value);
  void Put32(uint32_t value);
  void Put64(uint64_t value);  // low 32 bits first
  void PutFourCC(const char* fourcc);

  // Hands every buffered byte to the sink; the position moves past them.
  void Flush();
  int64_t Tell() const;
  // Returns the new position, or a negative value when the sink cannot seek.
  int64_t Seek(int64_t position);
  int64_t Skip(int64_t offset);

  // 0, or the first failure of the sink. Once set, output is discarded.
  int Error() const { return error_; }

  // After a failure: forgets the buffered bytes and the error, cuts the sink to
  // `position` (dropping whatever part of a write got there) and goes on from
  // there. False, with the error latched again, when the sink cannot do that.
  bool Recover(int64_t position);

 private:
  void WriteBuffered();
  // Seeks the sink itself (the buffer is empty); the position, or the failure, latched.
  int64_t MoveSink(int64_t position);
  void Latch(int64_t failure);

  uint8_t* bufferStart_;
  uint8_t* writePointer_;
  uint8_t* bufferEnd_;
  // Furthest byte filled in the buffer; after a patch behind it the write
  // pointer may lag, and those bytes must still reach the sink.
  uint8_t* filledEnd_;
  int64_t filePosition_ = 0;  // position in the sink of bufferStart_
  bool mustFlush_ = false;
  int error_ = 0;
  ByteStreamSink sink_;
};
