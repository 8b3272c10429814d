// File numbers, the handles of open text files.
//
// A number is never given out twice in a run. The label writer closes every file of the program,
// the run log included, and then opens its import files: were numbers reused, the log's old
// number would name an import file, and a log line written through it would land in the file
// that the shelf labels read.
#pragma once

#include "platform/env.h"

namespace zav5::platform {

class FileNumbers {
 public:
  // The next unused number.
  FileHandle Next() { return ++last_; }

 private:
  FileHandle last_ = 0;
};

}  // namespace zav5::platform
