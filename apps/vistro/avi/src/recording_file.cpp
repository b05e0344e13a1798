#include "recording_file.h"

#include <sys/types.h>
#include <unistd.h>

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

// Failures come back as -errno, so that the recorder can say why.
static int Failure() { return errno > 0 ? -errno : -EIO; }

static int WriteToFile(void* opaque, const uint8_t* data, int size) {
  errno = 0;
  const size_t written = std::fwrite(data, 1, static_cast<size_t>(size), static_cast<FILE*>(opaque));
  return written == static_cast<size_t>(size) ? size : Failure();
}

static int64_t SeekInFile(void* opaque, int64_t position) {
  auto* file = static_cast<FILE*>(opaque);
  if (fseeko(file, static_cast<off_t>(position), SEEK_SET) != 0) return Failure();
  return ftello(file);
}

static int TruncateFile(void* opaque, int64_t size) {
  auto* file = static_cast<FILE*>(opaque);
  std::clearerr(file);
  return ftruncate(fileno(file), static_cast<off_t>(size)) == 0 ? 0 : Failure();
}

ByteStreamSink RecordingFileSink(FILE* file) { return ByteStreamSink{file, WriteToFile, SeekInFile, TruncateFile}; }
