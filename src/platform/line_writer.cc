#include "platform/line_writer.h"

#include "platform/codepage.h"

namespace zav5::platform {

void LineWriter::Write(std::string_view line) {
  held_ += Utf8ToWindows1252(line);
  held_ += "\r\n";
  if (held_.size() >= kBlock) {
    Flush();
  }
}

void LineWriter::Flush() {
  if (held_.empty()) {
    return;
  }
  file_.Append(held_);
  written_ += held_.size();
  held_.clear();
}

}  // namespace zav5::platform
