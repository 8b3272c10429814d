// UTF-8, the encoding of every text inside the program. The store's files use an 8-bit code page
// (see codepage.h); names on a POSIX disk are taken to be UTF-8 as well.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zav5::platform {

// Decodes the character that starts at `text[pos]` and moves `pos` past it.
// A byte that does not start a well-formed sequence (a stray continuation byte, a truncated or
// overlong sequence, a surrogate, a value above U+10FFFF) yields nullopt and `pos` moves past that
// one byte only, so that every malformed byte is met on its own.
// REQUIRES: pos < text.size()
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& pos);

// The position just past the character that starts at `text[pos]`, as DecodeUtf8 reads it: a
// well-formed sequence whole, or one byte of a malformed one. So a text measured or cut with it
// counts exactly the characters that Utf8ToWindows1252 writes (one "?" per malformed byte), and a
// cut never splits a well-formed character.
// REQUIRES: pos < text.size()
std::size_t SkipUtf8Character(std::string_view text, std::size_t pos);

// A native path (Env::NativePath) as the standard library's file functions take it, and back. On
// Windows a path made from a plain string would read its bytes in the 8-bit code page.
std::filesystem::path Utf8ToPath(std::string_view native);
std::string PathToUtf8(const std::filesystem::path& path);

// Appends the UTF-8 form of `c` to `out`.
// REQUIRES: c is a Unicode scalar value (at most U+10FFFF and not a surrogate)
void AppendUtf8(std::string& out, char32_t c);

}  // namespace zav5::platform
