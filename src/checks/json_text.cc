#include "checks/json_text.h"

#include <fmt/core.h>

#include "platform/codepage.h"

namespace zav5::checks {

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  // JSON is UTF-8: a byte of a text that is not well-formed UTF-8 is taken as Windows-1252.
  for (const char c : platform::Utf8OrWindows1252ToUtf8(text)) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          json += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

}  // namespace zav5::checks
