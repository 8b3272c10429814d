// Letter case as the Windows file system ignores it. Names differ only in case are one name there,
// so the program may write C:\SULVO\DATI.MDB for a file that sits on disk as sulvo/dati.mdb.
//
// Folding covers ASCII, the Latin-1 letters (à, è, é, ì, ò, ù, ç, ñ ... and their capitals) and the
// Latin Extended-A letters (Š, Ž, Ł ...), which is every letter the store's code page can write
// and more. Other scripts are compared as they stand.
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

}  // namespace zav5::platform
