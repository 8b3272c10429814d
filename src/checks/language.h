// The language of what the operator reads from the checks: Italian, like the run log, or English.
#pragma once

#include <string_view>

namespace zav5::checks {

enum class Language { kItalian, kEnglish };

// One text in both languages.
struct Words {
  std::string_view italian;
  std::string_view english;
};

inline std::string_view Say(Language language, Words words) {
  return language == Language::kEnglish ? words.english : words.italian;
}

}  // namespace zav5::checks
