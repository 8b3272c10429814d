#include "checks/json_text.h"

#include <fmt/core.h>

namespace zav5::checks {

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
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
