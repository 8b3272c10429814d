// Letter case as the Windows file system sees it. Names that differ only in case are one name
// there, so the program may write C:\SULVO\DATI.MDB for a file that sits on disk as
// sulvo/dati.mdb; and the store's programs write a database path in capitals whatever case the
// company record gives it.
//
// Case covers ASCII, the Latin-1 letters (à, è, é, ì, ò, ù, ç, ñ ... and their capitals) and the
// Latin Extended-A letters (Š, Ž, Ł ...), which is every letter the store's code page can write
// and more. Other scripts stay as they stand.
#pragma once

#include <string>
#include <string_view>

namespace zav5::platform {

// The lower-case form of `c` when `c` is a capital letter, otherwise `c`.
char32_t FoldCase(char32_t c);

// `text` with every capital letter made lower case. Malformed UTF-8 bytes are kept as they are.
std::string FoldCase(std::string_view text);

// True when `a` and `b` are the same name without regard to letter case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The capital of `c` when `c` is a small letter that has one in the set above, otherwise `c`.
// ß and ÿ stay as they are.
char32_t UpperCase(char32_t c);

// `text` with every small letter made a capital. Malformed UTF-8 bytes are kept as they are.
std::string UpperCase(std::string_view text);

}  // namespace zav5::platform
