#include "platform/one_line.h"

namespace zav5::platform {

std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
      line += ' ';
    } else {
      line += text[i];
    }
  }
  return line;
}

}  // namespace zav5::platform
