// Text lines into a file written through the seam: the store's code page and line ends, added in
// one place for every text file the program makes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace zav5::platform {

// Writes lines to a WritableFile, each converted from UTF-8 to Windows-1252 (see codepage.h) and
// ended by CR LF. Lines are held and handed to the file in blocks of about kBlock bytes: a file of
// ten thousand lines is a few dozen writes.
class LineWriter {
 public:
  static constexpr std::size_t kBlock = std::size_t{64} * 1024;

  // REQUIRES: `file` outlives the writer
  explicit LineWriter(WritableFile& file) : file_(file) {}

  // Adds `line` (UTF-8, without its line end). Throws FileError when a block cannot be written.
  void Write(std::string_view line);

  // Hands every byte still held to the file. Throws FileError.
  void Flush();

  // Bytes handed to the file or held so far.
  std::size_t size() const { return written_ + held_.size(); }

 private:
  WritableFile& file_;
  std::string held_;
  std::size_t written_ = 0;
};

}  // namespace zav5::platform
