// Windows paths, the only kind the program speaks: C:\sulvo\bkp\Import_VPA_20261207.txt,
// \\server\share\folder\file, \sulvo\dati.mdb.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zav5::platform {

// A Windows path reduced to its root and the names below it.
struct WindowsPath {
  // Lower-case drive letter, or '\0' for a network path (\\server\share\...).
  char drive = '\0';
  // Network paths only: the first two names after the leading "\\".
  std::string server;
  std::string share;
  // The folders and the file below the root, in order. Never empty strings, "." or "..".
  std::vector<std::string> elements;

  bool IsUnc() const { return drive == '\0'; }

  // The last element ("" for a root).
  std::string_view Name() const;

  // The folder that holds this path; a root is its own parent.
  WindowsPath Parent() const;

  // This path with `name` added below it.
  WindowsPath Child(std::string_view name) const;

  // The path written out with backslashes and an upper-case drive letter: "C:\sulvo\bkp",
  // "C:\", "\\server\share\folder".
  std::string ToString() const;

  friend bool operator==(const WindowsPath&, const WindowsPath&) = default;
};

// True when `c` can name a drive: an ASCII letter.
bool IsDriveLetter(char c);

// A drive letter as WindowsPath keeps it: lower case.
// REQUIRES: IsDriveLetter(c)
char LowerDriveLetter(char c);

// Parses `path`. Elements are separated by "\" or "/"; empty elements (C:\sulvo\\x.txt) and "."
// are dropped; ".." goes up one folder, never above the root (of the drive, or of \\server\share).
// A path without a drive letter is on `current_drive`. Whether it starts with "\" or not, and
// also after a drive letter ("C:sulvo"), it is taken from the root of its drive: the program has no
// working folder other than the root.
// REQUIRES: current_drive is an ASCII letter
WindowsPath ParseWindowsPath(std::string_view path, char current_drive);

}  // namespace zav5::platform
