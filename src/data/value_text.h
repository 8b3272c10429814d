// Texts as the store's fixed-width files and the suite's string functions see them: counted, cut
// and padded in characters rather than bytes, and read for the number they begin with.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zav5::data {

// The longest leading decimal number of a text: blanks anywhere are ignored, a full stop is the
// decimal point, an exponent (E or D) is taken; 0 when the text does not begin with a number.
// Never fails.
double LeadingNumber(std::string_view text);

// Fits a text to exactly `length` characters (not bytes): keeps its first characters when it is
// longer, pads with blanks on the right when it is shorter. Here and in MidText and
// CharacterCount, each byte that is not part of well-formed UTF-8 counts as one character, as
// platform::Utf8ToWindows1252 writes it: a fixed-width field keeps its width in the store's code
// page whatever the text holds.
std::string FitText(std::string_view text, std::size_t length);

// The characters of `text` from the `start`-th (counted from 1), at most `length` of them; empty
// when the text is shorter than `start`.
// REQUIRES: start >= 1
std::string MidText(std::string_view text, std::size_t start, std::size_t length);

// The number of characters of a UTF-8 text.
std::size_t CharacterCount(std::string_view text);

// A fixed-length text: holds exactly N characters. Until something is stored into it, it holds N
// characters of code 0; storing keeps the first N characters or pads with blanks.
class FixedText {
 public:
  explicit FixedText(std::size_t length) : length_(length), text_(length, '\0') {}
  FixedText& operator=(std::string_view text) {
    text_ = FitText(text, length_);
    return *this;
  }
  const std::string& str() const { return text_; }
  std::size_t length() const { return length_; }

 private:
  std::size_t length_;
  std::string text_;
};

}  // namespace zav5::data
