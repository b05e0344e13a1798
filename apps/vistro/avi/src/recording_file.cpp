#include "recording_file.h"

#include <sys/types.h>

#include <cerrno>

static_assert(sizeof(off_t) == 8, "recordings pass 2 GiB: file offsets must be 64-bit");

FILE* OpenRecordingFile(const char* path) {
  FILE* file = std::fopen(path, "w+b");
  if (file != nullptr && std::setvbuf(file, nullptr, _IONBF, 0) != 0) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

static int WriteToFile(void* opaque, const uint8_t* data, int size) {
  const size_t written = std::fwrite(data, 1, static_cast<size_t>(size), static_cast<FILE*>(opaque));
  return written == static_cast<size_t>(size) ? size : -1;
}

static int64_t SeekInFile(void* opaque, int64_t position) {
  auto* file = static_cast<FILE*>(opaque);
  if (fseeko(file, static_cast<off_t>(position), SEEK_SET) != 0) return errno > 0 ? -errno : -1;
  return ftello(file);
}

ByteStreamSink RecordingFileSink(FILE* file) { return ByteStreamSink{file, WriteToFile, SeekInFile}; }
