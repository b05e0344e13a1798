// A file the recorder writes its output into: created without replacing an existing one
// (unless allowed), written whole or cut back, removed when abandoned.
#pragma once

#include <cstdint>
#include <span>
#include <string>

class OutputFile {
 public:
  // Opens `path` for writing, creating it; an existing file is an error unless
  // `overwrite`. "-" is standard output. False with `error` set.
  bool Open(const std::string& path, bool overwrite, std::string& error);
  ~OutputFile();

  // Writes all of `bytes`. On a failure (a full disk) a file is cut back to where it
  // was, so that it never ends in part of an image, and `error` says why.
  bool WriteWhole(std::span<const uint8_t> bytes, std::string& error);
  // Closes the file and removes it.
  void Remove();
  // Closes it; false with `error` set when the last bytes did not make it.
  bool Close(std::string& error);

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool standardOutput_ = false;
  uint64_t size_ = 0;
};

// "cannot create PATH: it exists (-y replaces it)" and the like, from an errno.
std::string CannotCreate(const std::string& path, int errorNumber);
